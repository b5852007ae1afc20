#!/bin/sh
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer) in their
# own build directory and runs every one of them for SECONDS (default 60) on its corpus:
#   scripts/fuzz.sh [SECONDS] [build-dir]
# The seeds in tests/fuzz/corpus are read, never written; what a run finds goes to
# <build-dir>/corpus and is used again by the next run. A crash stops the script with the
# reproducing input in <build-dir>/crashes.
set -e
cd "$(dirname "$0")/.."
. scripts/compiler-cache.sh
seconds=${1:-60}
dir=${2:-build-fuzz}
root=$PWD
cmake -S tests/fuzz -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
ninja -C "$dir"
mkdir -p "$dir/crashes"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "$dir"/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    seeds="$root/tests/fuzz/corpus/${name#fuzz_}"
    mkdir -p "$dir/corpus/$name"
    log="$dir/$name.log"
    if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$dir/crashes/$name-" \
        "$dir/corpus/$name" "$seeds" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "fuzz: $name failed; input in $dir/crashes" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: $name: $runs inputs in ${seconds}s, clean"
done
