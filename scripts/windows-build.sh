#!/bin/sh
# The Windows distribution, cross-built on Debian 12 from Debian's packages alone:
#   scripts/windows-build.sh [build-dir]        (default build-windows)
# 1. Qt for i686-w64-mingw32 from Debian's source packages (scripts/windows-qt.sh); built
#    once into ~/.cache/voltadesk-windows, the first time for hours, later runs reuse it;
# 2. RE2 for Windows from Debian's source package, likewise once;
# 3. the build machine's crcstamp (a native build in build/), which stamps the math library;
# 4. voltaDesk.exe, voltadesk-run.exe, vdvisa-query.exe, visa32.dll and the math library with
#    the toolchain file cmake/i686-w64-mingw32.cmake;
# 5. <build-dir>/voltaDesk-windows.zip and <build-dir>/voltaDesk-setup.exe (NSIS).
# scripts/windows-check.sh then runs the results under Wine against the simulated bench.
set -e
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build-windows}
scripts/windows-setup.sh
. scripts/compiler-cache.sh
. scripts/windows-toolchain.sh
. scripts/windows-sources.sh

qt=$(nice -n 19 scripts/windows-qt.sh) || exit 1
qt=$(echo "$qt" | tail -n 1)
if [ -s "$qt/.voltadesk-missing" ]; then
    echo "windows-build: Qt for Windows lacks $(tr '\n' ' ' < "$qt/.voltadesk-missing")" >&2
    exit 1
fi

deps=$windowsCache/deps-i686
if [ ! -f "$deps/.voltadesk-re2" ]; then
    re2=$(fetchSource libre2-dev)
    [ -n "$re2" ] || exit 1
    # The Debian source leaves out RE2's generated Unicode and Perl class tables; they are
    # made as Debian's own build makes them, from the unicode-data package.
    (cd "$re2/re2" && perl make_perl_groups.pl > perl_groups.cc &&
        python3 make_unicode_casefold.py > unicode_casefold.cc &&
        python3 make_unicode_groups.py > unicode_groups.cc)
    rm -rf "$windowsCache/build-re2"
    VOLTADESK_WINDOWS_DEPS=$deps cmake -S "$re2" -B "$windowsCache/build-re2" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DRE2_BUILD_TESTING=OFF -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX="$deps" >/dev/null
    nice -n 19 ninja -C "$windowsCache/build-re2" install >/dev/null
    touch "$deps/.voltadesk-re2"
fi

# The stamping tool, native.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build crcstamp >/dev/null

export VOLTADESK_WINDOWS_QT="$qt" VOLTADESK_WINDOWS_DEPS="$deps"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" \
    -DVOLTADESK_HOST_CRCSTAMP="$root/build/mathlib/crcstamp" \
    -DVOLTADESK_BUILD_TESTS=OFF -DVOLTADESK_BUILD_BENCH=OFF >/dev/null
nice -n 10 ninja -C "$build"

# The distribution: our files, then Qt and the run-time they load.
stage=$build/voltaDesk
rm -rf "$stage"
cmake --install "$build" --prefix "$stage" >/dev/null
scripts/windows-deploy.sh "$stage" "$qt"
i686-w64-mingw32-strip "$stage"/*.exe
# The Wine checks' driver of the window also needs Qt Test, which the distribution does not.
cp "$qt/bin/Qt5Test.dll" "$build/"

rm -f "$build/voltaDesk-windows.zip"
(cd "$build" && zip -qr -9 voltaDesk-windows.zip voltaDesk)
version=$(sed -n 's/^project(voltaDesk VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
makensis -V2 -DVERSION="$version" -DSTAGE="$(cd "$stage" && pwd)" \
    -DOUTFILE="$(cd "$build" && pwd)/voltaDesk-setup.exe" packaging/windows/voltadesk.nsi
ls -l "$build/voltaDesk-windows.zip" "$build/voltaDesk-setup.exe"
