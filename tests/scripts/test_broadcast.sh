#!/bin/sh
# Our resource search finds VXI-11 instruments that it was not told about, by a portmapper
# broadcast, on a small private LAN: this test's network namespace and a second one inside
# it, joined by a veth pair. Two simulated modules share the far host, each at its own
# address, and each answers the broadcast from that address. Nothing leaves the test's
# namespaces.
# ctest-timeout: 120
set -eu
build=$1
scripts=$(dirname "$0")/../../scripts
dir=$(mktemp -d)
cleanup() {
    [ -n "${peer:-}" ] && kill "$peer" 2>/dev/null && wait "$peer" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT

"$scripts/veth-peer" 2 "$build/sim/rvka5630-sim" \
    --address 10.77.0.2 --idn "Korvalis,RVKA5630,0099,1.3" \
    --address 10.77.0.3 --idn "Korvalis,RVKA5630,0100,1.3" >"$dir/sim.out" &
peer=$!
for _ in $(seq 100); do grep -q '^ready$' "$dir/sim.out" 2>/dev/null && break; sleep 0.1; done
grep -q '^ready$' "$dir/sim.out"

found=$(VDVISA_RESOURCES= VDVISA_BROADCAST=1 VDVISA_BROADCAST_MS=1000 \
    "$build/visa/vdvisa-query" --find | tr '\n' ' ')
if [ "$found" != "TCPIP0::10.77.0.2::inst0::INSTR TCPIP0::10.77.0.3::inst0::INSTR " ]; then
    echo "FAIL: broadcast search found '$found'" >&2
    exit 1
fi
for module in 2:0099 3:0100; do
    idn=$("$build/visa/vdvisa-query" "TCPIP0::10.77.0.${module%:*}::inst0::INSTR" '*IDN?' |
        tr -d '\r\n')
    if [ "$idn" != "Korvalis,RVKA5630,${module#*:},1.3" ]; then
        echo "FAIL: *IDN? of 10.77.0.${module%:*} over the LAN gave '$idn'" >&2
        exit 1
    fi
done
echo "ok: found $found"

# Broadcast off: only configured resources.
if VDVISA_RESOURCES= VDVISA_BROADCAST=0 "$build/visa/vdvisa-query" --find; then
    echo "FAIL: found resources with the broadcast off" >&2
    exit 1
fi
echo "ok: nothing found with the broadcast off"
