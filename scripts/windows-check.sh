#!/bin/sh
# Runs the Windows distribution of scripts/windows-build.sh under Wine, in a private network
# namespace, against the Linux simulated bench, on a virtual X screen:
#   scripts/windows-check.sh [windows-build-dir] [linux-build-dir]   (build-windows, build)
# It installs the zip into a fresh 32-bit Wine prefix (our VISA library beside the programs,
# as on a workstation without any VISA), then checks:
#   - the NSIS installer installs silently and its uninstaller leaves nothing behind;
#   - voltaDesk's window finds the simulated modules, connects, sets 12 V, switches the output
#     on and reads it back (docs/windows-wine.png is its picture), with the Qt directory taken
#     from the registry value QT_DISTRIB_INSTALL_DIR (set with "wine reg add") and, without it,
#     from VXIPNPPATH; the panel finds its driver files and the math library's checksum holds
#     (else it stops with a critical box), and without the driver files it does stop;
#   - voltadesk-run.exe lists the modules and runs one verification, the bench multimeter and
#     load on COM1 and COM2, which Wine maps to the simulator's pseudo-terminals.
set -e
cd "$(dirname "$0")/.."
root=$(pwd)
win=$(cd "${1:-build-windows}" && pwd)
linux=${2:-build}
scripts/windows-setup.sh
if [ ! -f "$win/voltaDesk-windows.zip" ] || [ ! -f "$win/winetour.exe" ]; then
    echo "windows-check: no Windows build in $win; run scripts/windows-build.sh first" >&2
    exit 1
fi
# The simulated bench, from the native build.
. scripts/compiler-cache.sh
cmake -S . -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$linux" rvka5630-sim >/dev/null
linux=$(cd "$linux" && pwd)
unset DISPLAY WAYLAND_DISPLAY
exec scripts/in-netns sh scripts/windows-wine.sh "$root" "$win" "$linux"
