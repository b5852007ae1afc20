#!/bin/sh
# Sets up what is missing, builds and runs the whole test suite: once in the normal build and
# once in a build with AddressSanitizer and UndefinedBehaviorSanitizer; the tests that run
# threads (label "threads") once more under ThreadSanitizer; then every fuzz target for a short
# while. Every test runs in a private network namespace of its own (scripts/in-netns), so no
# root is needed.
set -e
cd "$(dirname "$0")/.."
scripts/setup.sh test
scripts/build.sh build

# The ThreadSanitizer tree builds only the threaded tests, in the background and at the lowest
# priority: the test runs before it spend most of their time waiting on sockets and time-outs,
# and the compile takes only the CPU they leave. It is a process group of its own, so that a
# failure elsewhere ends it too.
tsanFlags="-O1 -g1 -DNDEBUG"
mkdir -p build-tsan
VOLTADESK_TARGETS=threadtests setsid nice -n 19 scripts/build.sh build-tsan \
    -DVOLTADESK_SANITIZE=thread -DCMAKE_C_FLAGS_RELWITHDEBINFO="$tsanFlags" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$tsanFlags" \
    -DVOLTADESK_BUILD_BENCH=OFF -DVOLTADESK_MINGW_MATHLIB=OFF >build-tsan/build.log 2>&1 &
tsanBuild=$!
tsanTests=
trap 'kill -TERM -$tsanBuild 2>/dev/null || true
      [ -n "$tsanTests" ] && kill -TERM -$tsanTests 2>/dev/null || true' EXIT

ctest --test-dir build --output-on-failure --no-tests=error -j2
# -O1 with line tables only: what the sanitizers' reports need, at half the compile time of -O2 -g.
scripts/build.sh build-sanitize -DVOLTADESK_SANITIZE=address,undefined \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    -DVOLTADESK_BUILD_BENCH=OFF -DVOLTADESK_MINGW_MATHLIB=OFF
ctest --test-dir build-sanitize --output-on-failure --no-tests=error -j2 -LE nosanitize

if ! wait "$tsanBuild"; then
    tail -n 60 build-tsan/build.log >&2
    echo "test: the ThreadSanitizer build failed; its log is build-tsan/build.log" >&2
    exit 1
fi
# The threaded tests under ThreadSanitizer mostly wait as well: they run beside the fuzzing,
# which keeps one CPU busy. A race report fails its test (TSAN_OPTIONS, set by the build).
setsid ctest --test-dir build-tsan --output-on-failure --no-tests=error -j2 -L threads \
    >build-tsan/ctest.log 2>&1 &
tsanTests=$!
# About a minute of fuzzing in all: seven targets, eight seconds each.
scripts/fuzz.sh 8
tsanStatus=0
wait "$tsanTests" || tsanStatus=$?
tsanTests=
cat build-tsan/ctest.log
[ "$tsanStatus" -eq 0 ] || { echo "test: ThreadSanitizer tests failed" >&2; exit 1; }
