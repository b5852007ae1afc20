#!/bin/sh
# Remakes the README's screenshots in docs/: the program on the demo's simulated bench (its
# modules, multimeter and load) on a virtual X screen, toured by build/tests/screenshottour.
#   scripts/screenshots.sh [build-dir]
set -e
cd "$(dirname "$0")/.."
build=${1:-build}
scripts/setup.sh demo
scripts/build.sh "$build"
# Always the virtual screen, whatever desktop this runs on: the pictures stay the same size.
unset DISPLAY WAYLAND_DISPLAY
exec scripts/in-netns scripts/demo-bench.sh "$(pwd)/$build" \
    "$(pwd)/$build/tests/screenshottour" "$(pwd)/docs"
