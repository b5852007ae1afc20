#!/bin/sh
# Remakes the README's screenshots in docs/: the program on the simulated bench (the demo's
# modules, multimeter and load) on a virtual X screen, toured by build/tests/screenshottour.
#   scripts/screenshots.sh [build-dir]
set -e
cd "$(dirname "$0")/.."
build=${1:-build}
scripts/setup.sh demo
scripts/build.sh "$build"
ninja -C "$build" screenshottour >/dev/null
exec scripts/in-netns scripts/screenshots-bench.sh "$(pwd)/$build" "$(pwd)/docs"
