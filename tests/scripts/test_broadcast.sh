#!/bin/sh
# Our resource search finds a VXI-11 instrument that it was not told about, by a portmapper
# broadcast, on a small private LAN: this test's network namespace and a second one inside
# it, joined by a veth pair. Nothing leaves the test's namespaces.
# ctest-timeout: 120
set -eu
build=$1
dir=$(mktemp -d)
cleanup() {
    [ -s "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT

ip link add lan0 type veth peer name lan1
ip addr add 10.77.0.1/24 broadcast 10.77.0.255 dev lan0
ip link set lan0 up

# The instrument's host: a network namespace of its own. Its shell waits for the far end of
# the cable, configures it and becomes the simulator.
unshare --net sh -c '
    echo $$ > "$0/pid"
    while ! ip link show lan1 >/dev/null 2>&1; do sleep 0.05; done
    ip link set lo up
    ip addr add 10.77.0.2/24 broadcast 10.77.0.255 dev lan1
    ip link set lan1 up
    exec "$1" --address 0.0.0.0 --idn "Korvalis,RVKA5630,0099,1.3" >"$0/sim.out"
' "$dir" "$build/sim/rvka5630-sim" &
for _ in $(seq 100); do [ -s "$dir/pid" ] && break; sleep 0.05; done
ip link set lan1 netns "$(cat "$dir/pid")"
for _ in $(seq 100); do grep -q '^ready$' "$dir/sim.out" 2>/dev/null && break; sleep 0.1; done
grep -q '^ready$' "$dir/sim.out"
for _ in $(seq 100); do ip -br link show lan0 | grep -q ' UP ' && break; sleep 0.05; done

found=$(VDVISA_RESOURCES= VDVISA_BROADCAST=1 VDVISA_BROADCAST_MS=1000 \
    "$build/visa/vdvisa-query" --find)
if [ "$found" != "TCPIP0::10.77.0.2::inst0::INSTR" ]; then
    echo "FAIL: broadcast search found '$found'" >&2
    exit 1
fi
idn=$("$build/visa/vdvisa-query" "$found" '*IDN?' | tr -d '\r\n')
if [ "$idn" != "Korvalis,RVKA5630,0099,1.3" ]; then
    echo "FAIL: *IDN? over the LAN gave '$idn'" >&2
    exit 1
fi
echo "ok: found $found, $idn"

# Broadcast off: only configured resources.
if VDVISA_RESOURCES= VDVISA_BROADCAST=0 "$build/visa/vdvisa-query" --find; then
    echo "FAIL: found resources with the broadcast off" >&2
    exit 1
fi
echo "ok: nothing found with the broadcast off"
