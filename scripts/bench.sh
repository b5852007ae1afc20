#!/bin/sh
# Runs the benchmarks (each inside a private network namespace) and prints their figures.
# Run on a quiet machine: they measure real time. scripts/bench.sh [build-dir]
set -e
cd "$(dirname "$0")/.."
build=${1:-build}
for bench in "$build"/bench/*bench; do
    [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    scripts/in-netns "$bench"
done
