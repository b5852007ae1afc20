#!/bin/sh
# Sets up what is missing, builds, and starts voltaDesk against the simulated bench: two
# simulated RVKA5630 modules on a simulated LAN (a private network namespace, so that their
# portmappers can use port 111 without root), plus a module of another model, one that never
# answers and an address where nothing listens, to show what discovery leaves out; and the
# bench multimeter and electronic load on pseudo-terminals, wired to the first module.
set -e
cd "$(dirname "$0")/.."
scripts/setup.sh demo
scripts/build.sh build
exec scripts/in-netns scripts/demo-bench.sh "$(pwd)/build"
