#!/bin/sh
# Configures and builds into a build directory: scripts/build.sh [dir] [cmake options...]
# VOLTADESK_TARGETS, when set, names the targets to build instead of all of them.
set -e
cd "$(dirname "$0")/.."
. scripts/compiler-cache.sh
dir=${1:-build}
[ $# -gt 0 ] && shift
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
ninja -C "$dir" ${VOLTADESK_TARGETS:-}
