#!/bin/sh
# Sets up what is missing, builds, and starts voltaDesk against the simulated bench: two
# simulated RVKA5630 modules on a simulated LAN (a private network namespace, so that their
# portmappers can use port 111 without root), plus a module of another model, one that never
# answers and an address where nothing listens, to show what discovery leaves out; and the
# bench multimeter and electronic load on pseudo-terminals, wired to the first module.
#
#     scripts/demo.sh [COMMAND...]
#
# With a command, that command runs in the simulated LAN instead of the window, e.g.
# scripts/demo.sh scripts/verify-modules.sh protocols
set -e
cd "$(dirname "$0")/.."
scripts/setup.sh demo
scripts/build.sh build
exec scripts/in-netns scripts/demo-bench.sh "$(pwd)/build" "$@"
