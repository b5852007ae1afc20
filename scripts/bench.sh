#!/bin/sh
# Runs the benchmarks (each inside a private network namespace) and prints their figures.
# Run on a quiet machine: they measure real time. scripts/bench.sh [build-dir]
#
# The VISA query benchmark then runs twice more against a simulator process of its own,
# pinned with taskset: client and simulator on the same CPU, and on two different CPUs when
# the machine lets us use two. Unpinned, its figures on a small machine swing with wherever
# the scheduler puts the two.
set -e
cd "$(dirname "$0")/.."
build=${1:-build}
for bench in "$build"/bench/*bench; do
    [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    scripts/in-netns "$bench"
done

# visaquerybench with its simulator on CPU $2 and itself on CPU $3; $1 names the placement.
pinned() {
    echo "== visaquerybench, $1 (simulator on CPU $2, client on CPU $3)"
    scripts/in-netns sh -c '
        build=$1 simulatorCpu=$2 clientCpu=$3
        out=$(mktemp)
        taskset -c "$simulatorCpu" "$build/sim/rvka5630-sim" --bench --address 127.0.0.2 \
            >"$out" &
        simulator=$!
        for _ in $(seq 100); do grep -q "^ready$" "$out" && break; sleep 0.1; done
        status=0
        if grep -q "^ready$" "$out"; then
            taskset -c "$clientCpu" "$build/bench/visaquerybench" --external "$simulator" ||
                status=$?
        else
            echo "bench: the pinned simulator did not start" >&2
            status=1
        fi
        kill "$simulator"
        wait "$simulator" || true
        rm -f "$out"
        exit "$status"' pinned "$build" "$2" "$3"
}

if ! command -v taskset >/dev/null; then
    echo "== pinned figures skipped: taskset (util-linux) is missing"
    exit 0
fi
# The first two CPUs this process may run on.
cpus=$(sed -n 's/^Cpus_allowed_list:[[:space:]]*//p' /proc/self/status | tr ',' '\n' |
    while IFS=- read -r first last; do seq "$first" "${last:-$first}"; done | head -n 2)
one=$(echo "$cpus" | sed -n 1p)
two=$(echo "$cpus" | sed -n 2p)
pinned "same CPU" "$one" "$one"
if [ -n "$two" ]; then
    pinned "different CPUs" "$one" "$two"
else
    echo "== visaquerybench on different CPUs skipped: only CPU $one is available"
fi
