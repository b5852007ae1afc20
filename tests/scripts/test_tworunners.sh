#!/bin/sh
# Two test stations record into one results store at the same moment: two voltadesk-run
# processes, each verifying its own simulated module with its own bench instruments, write into
# one SQLite file. Both runs are recorded, numbered one after the other, and the chain holds.
# ctest-timeout: 180
set -eu
build=$1
sim=$build/sim/rvka5630-sim
run=$build/voltadesk-run
work=$(mktemp -d)
pids=
trap 'kill $pids 2>/dev/null; rm -rf "$work"' EXIT
for n in 2 3; do
    "$sim" --serial --address 127.0.0.$n --idn "Korvalis,RVKA5630,00$n$n,1.3" >"$work/sim$n" &
    pids="$pids $!"
done
for n in 2 3; do
    for _ in $(seq 100); do grep -q '^ready$' "$work/sim$n" && break; sleep 0.1; done
    grep -q '^ready$' "$work/sim$n"
done
export VOLTADESK_RESULTS="$work/shared.sqlite" VDVISA_BROADCAST=0 VOLTADESK_LANG=ru
statuses=
for n in 2 3; do
    ports=$(sed -n 's/^serial-ports //p' "$work/sim$n")
    VOLTADESK_SERIAL_PORTS=$ports "$run" TCPIP0::127.0.0.$n::inst0::INSTR --iac "$work/$n.html" \
        --json --require-record >"$work/run$n" 2>"$work/err$n" &
    statuses="$statuses $!"
done
for pid in $statuses; do
    status=0
    wait "$pid" || status=$?
    if [ "$status" -gt 1 ]; then
        echo "FAIL: a runner exited $status" >&2
        cat "$work"/err* >&2
        exit 1
    fi
done
ids=$(cat "$work/run2" "$work/run3" | sed -n 's/.*"record":\([0-9]*\).*/\1/p' | sort -n | tr '\n' ' ')
if [ "$ids" != "1 2 " ]; then
    echo "FAIL: records '$ids', expected '1 2 '" >&2
    cat "$work"/run* "$work"/err* >&2
    exit 1
fi
listed=$("$run" results --csv | tail -n +2 | wc -l)
if [ "$listed" != 2 ]; then
    echo "FAIL: the store lists $listed runs, expected 2" >&2
    exit 1
fi
if ! "$run" results --verify >"$work/verify" 2>&1; then
    echo "FAIL: the chain does not hold:" >&2
    cat "$work/verify" >&2
    exit 1
fi
echo "ok: two runners recorded into one store at once"
