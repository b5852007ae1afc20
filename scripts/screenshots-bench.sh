#!/bin/sh
# Runs inside the screenshots' network namespace: the demo's simulated bench, a virtual X
# screen, then the tour that saves the PNGs into the given folder.
set -e
build=$1
out=$2
state=$(mktemp -d)
cleanup() {
    [ -n "${simulator:-}" ] && kill "$simulator" 2>/dev/null || true
    [ -n "${screen:-}" ] && kill "$screen" 2>/dev/null || true
    rm -rf "$state"
}
trap cleanup EXIT INT TERM

"$build/sim/rvka5630-sim" --serial \
    --address 127.0.0.2 --idn "Korvalis,RVKA5630,0042,1.3" --place "1;3;0" \
    --address 127.0.0.3 --idn "Korvalis,RVKA5630,0057,1.3" --place "1;4;0" \
    >"$state/simulator.out" &
simulator=$!
for _ in $(seq 100); do grep -q '^ready$' "$state/simulator.out" && break; sleep 0.1; done
if ! grep -q '^ready$' "$state/simulator.out"; then
    echo "screenshots: the simulated bench did not start" >&2
    exit 1
fi

export VDVISA_RESOURCES="TCPIP0::127.0.0.2::inst0::INSTR;TCPIP0::127.0.0.3::inst0::INSTR"
export VDVISA_BROADCAST=0
export VXIPNPPATH="$build/vxipnp/"
export VOLTADESK_SERIAL_PORTS="$(sed -n 's/^serial-ports //p' "$state/simulator.out")"
export LANG=C.UTF-8

Xvfb :94 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
screen=$!
export DISPLAY=:94
sleep 1
"$build/tests/screenshottour" "$out"
