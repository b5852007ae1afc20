#!/bin/sh
# Sets up what is missing, builds and runs the whole test suite: once in the normal build and
# once in a build with AddressSanitizer and UndefinedBehaviorSanitizer, then every fuzz target
# for a short while. Every test runs in a private network namespace of its own
# (scripts/in-netns), so no root is needed.
set -e
cd "$(dirname "$0")/.."
scripts/setup.sh test
scripts/build.sh build
ctest --test-dir build --output-on-failure --no-tests=error -j2
# -O1 with line tables only: what the sanitizers' reports need, at half the compile time of -O2 -g.
scripts/build.sh build-sanitize -DVOLTADESK_SANITIZE=address,undefined \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    -DVOLTADESK_BUILD_BENCH=OFF -DVOLTADESK_MINGW_MATHLIB=OFF
ctest --test-dir build-sanitize --output-on-failure --no-tests=error -j2 -LE nosanitize
# About a minute of fuzzing in all: seven targets, eight seconds each.
scripts/fuzz.sh 8
