#!/bin/sh
# voltadesk-run needs no display: it links neither Qt Widgets nor Qt Gui, and it lists the
# simulated modules with no platform plug-in chosen and no X display. Where it finds no module
# at all, it and scripts/verify-modules.sh fail with status 3.
# ctest-timeout: 60
set -eu
build=$1
run=$build/voltadesk-run
if ldd "$run" | grep -q 'libQt5\(Gui\|Widgets\)'; then
    echo "FAIL: voltadesk-run links a display library:" >&2
    ldd "$run" | grep 'libQt5' >&2
    exit 1
fi
out=$(mktemp)
trap 'kill $pid 2>/dev/null; rm -f "$out"' EXIT
"$build/sim/rvka5630-sim" --address 127.0.0.2 --place "1;3;0" >"$out" &
pid=$!
for _ in $(seq 50); do grep -q '^ready$' "$out" && break; sleep 0.1; done
grep -q '^ready$' "$out"
listed=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    VDVISA_RESOURCES='TCPIP0::127.0.0.2::inst0::INSTR' VDVISA_BROADCAST=0 "$run" list)
expected=$(printf 'TCPIP0::127.0.0.2::inst0::INSTR\tKorvalis,RVKA5630,0042,1.3\tPLACEID: 1; ADDRID: 3; SWITCHID: 0')
if [ "$listed" != "$expected" ]; then
    echo "FAIL: listed '$listed', expected '$expected'" >&2
    exit 1
fi
echo "ok: listed without a display"

# Nothing that answers as an RVKA5630: nothing served at one address, another model at none.
nowhere='TCPIP0::127.0.0.9::inst0::INSTR'
status=0
VDVISA_RESOURCES=$nowhere VDVISA_BROADCAST=0 "$run" list >"$out" 2>&1 || status=$?
if [ "$status" != 3 ] || ! grep -q 'RVKA5630' "$out"; then
    echo "FAIL: an empty listing exited $status:" >&2
    cat "$out" >&2
    exit 1
fi
verify=$(cd "$(dirname "$0")/../../scripts" && pwd)/verify-modules.sh
status=0
(cd "$(mktemp -d)" && PATH=$build:$PATH VDVISA_RESOURCES=$nowhere VDVISA_BROADCAST=0     "$verify" >"$out" 2>&1) || status=$?
if [ "$status" != 3 ]; then
    echo "FAIL: verify-modules.sh exited $status with no module found:" >&2
    cat "$out" >&2
    exit 1
fi
echo "ok: nothing found is a failure"
