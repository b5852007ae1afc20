#!/bin/sh
# Remakes the README's screenshots in docs/: the program on the demo's simulated bench (its
# modules, multimeter and load) on a virtual X screen, toured by build/tests/screenshottour,
# in Russian and, for the main window and the panel, in English.
#   scripts/screenshots.sh [build-dir]
set -e
cd "$(dirname "$0")/.."
build=${1:-build}
scripts/setup.sh demo
scripts/build.sh "$build"
# Always the virtual screen, whatever desktop this runs on: the pictures stay the same size.
unset DISPLAY WAYLAND_DISPLAY
# The Russian tour, then the main window and the panel once more in English.
exec scripts/in-netns scripts/demo-bench.sh "$(pwd)/$build" sh -c \
    'VOLTADESK_LANG=ru "$1" "$2" && VOLTADESK_LANG=en "$1" "$2"' tour \
    "$(pwd)/$build/tests/screenshottour" "$(pwd)/docs"
