#!/bin/sh
# Runs inside the demo's network namespace: starts the simulated bench, then the program, or,
# when a command follows the build directory, that command (voltadesk-run is on its path;
# scripts/screenshots.sh runs its tour this way).
set -e
build=$1
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
    --address 127.0.0.4 --idn "Korvalis,RVKA5700,0011,2.0" --place "1;5;0" \
    --address 127.0.0.5 --silent \
    >"$state/simulator.out" &
simulator=$!
for _ in $(seq 100); do grep -q '^ready$' "$state/simulator.out" && break; sleep 0.1; done
if ! grep -q '^ready$' "$state/simulator.out"; then
    echo "demo: the simulated bench did not start" >&2
    exit 1
fi
ports=$(sed -n 's/^serial-ports //p' "$state/simulator.out")

export VDVISA_RESOURCES="TCPIP0::127.0.0.2::inst0::INSTR;TCPIP0::127.0.0.3::inst0::INSTR;\
TCPIP0::127.0.0.4::inst0::INSTR;TCPIP0::127.0.0.5::inst0::INSTR;TCPIP0::127.0.0.6::inst0::INSTR"
export VDVISA_BROADCAST=0
export VXIPNPPATH="$build/vxipnp/"
export VOLTADESK_SERIAL_PORTS="$ports"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    # No desktop here: give the program a virtual screen of its own.
    echo "demo: no display found; using a virtual X screen (:93)" >&2
    Xvfb :93 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    screen=$!
    export DISPLAY=:93
    sleep 1
fi

shift
if [ $# -gt 0 ]; then
    echo "demo: simulated modules at 127.0.0.2 and 127.0.0.3, the bench wired to 127.0.0.2" >&2
    PATH="$build:$PATH" "$@"
    exit
fi
echo "demo: simulated modules at 127.0.0.2 and 127.0.0.3; press \"Обновить\" to find them" >&2
"$build/voltaDesk"
