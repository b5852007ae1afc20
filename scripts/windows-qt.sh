#!/bin/sh
# Builds Qt for 32-bit Windows (i686-w64-mingw32) from Debian's own source packages of the Qt
# version installed here, with only what voltaDesk needs: qtbase (core, gui, widgets,
# concurrent, network, sql, test, the windows platform plug-in), qtserialport and
# qtcharts. Release only, no examples, no tests.
#
#   scripts/windows-qt.sh          build (or reuse) the cached Qt; prints its folder last
#   scripts/windows-qt.sh --dir    prints the folder the cached Qt is (or will be) in
#
# The sources come from a deb-src list this script writes for itself into the cache; the
# machine's own apt sources are never touched. A stamp file marks a finished build, so later
# runs return at once. The compile runs at the lowest priority: the machine is shared.
set -e
cd "$(dirname "$0")/.."
root=$(pwd)

. "$root/scripts/windows-sources.sh"
qtversion=$(dpkg-query -W -f='${source:Version}' qtbase5-dev)
upstream=$(echo "$qtversion" | sed 's/+.*//; s/-.*//')
prefix=$windowsCache/qt-$upstream-i686
stamp=$prefix/.voltadesk-built-$qtversion
missing=$prefix/.voltadesk-missing
if [ "$1" = --dir ]; then
    echo "$prefix"
    exit 0
fi
# One build at a time: a second run waits for the first, then finds its stamp.
exec 9>"$windowsCache/qt.lock"
flock 9
# A module whose sources could not be fetched is retried on the next run; the rest is kept.
if [ -f "$stamp" ] && [ ! -s "$missing" ]; then
    echo "$prefix"
    exit 0
fi

jobs=${VOLTADESK_WINDOWS_JOBS:-2}

# The POSIX-thread variant of the cross compiler: Qt and our code use std::thread and
# std::mutex, which the win32-thread variant of this GCC lacks. Qt's win32-g++ mkspec calls
# $(CROSS_COMPILE)g++, so the variant is chosen by a private folder of links put first on PATH.
. "$root/scripts/windows-toolchain.sh"

qtbase=$(fetchSource qtbase5-dev)
[ -n "$qtbase" ] || exit 1
qtserialport=$(fetchSource libqt5serialport5-dev)
qtcharts=$(fetchSource libqt5charts5-dev)

echo "Qt $qtversion for i686-w64-mingw32 into $prefix (started $(date -u +%FT%TZ))" >&2
started=$(date +%s)

# Outside the source tree, so that a failed attempt is removed without touching the sources.
build=$windowsCache/build-$upstream
if [ ! -f "$prefix/.voltadesk-qtbase" ]; then
    rm -rf "$build"
    mkdir -p "$build/qtbase"
    cd "$build/qtbase"
    # Debian's source leaves out the bundled SQLite and the Wintab headers (their licences):
    # no SQLite driver from here, and no tablet events, which the windows platform plug-in
    # would take from Wintab.
    "$qtbase/configure" -prefix "$prefix" \
        -xplatform win32-g++ -device-option CROSS_COMPILE=i686-w64-mingw32- \
        -opensource -confirm-license -release -shared -no-pch \
        -nomake examples -nomake tests \
        -no-feature-tabletevent -opengl desktop -no-dbus -no-icu -no-fontconfig -no-glib -no-cups \
        -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-freetype -qt-harfbuzz \
        -no-sql-sqlite -no-sql-odbc -no-sql-psql -no-sql-mysql -no-sql-db2 \
        -no-sql-ibase -no-sql-oci -no-sql-tds -no-sql-sqlite2 \
        -no-openssl >&2
    nice -n 19 make -j"$jobs" >&2
    nice -n 19 make install >&2
    touch "$prefix/.voltadesk-qtbase"
fi
: > "$missing"
for module in qtcharts qtserialport; do
    eval src=\$$module
    [ -f "$prefix/.voltadesk-$module" ] && continue
    if [ -z "$src" ]; then
        echo "$module" >> "$missing"
        continue
    fi
    rm -rf "$build/$module"
    mkdir -p "$build/$module"
    cd "$build/$module"
    "$prefix/bin/qmake" "$src" >&2
    nice -n 19 make -j"$jobs" >&2
    nice -n 19 make install >&2
    touch "$prefix/.voltadesk-$module"
done

ended=$(date +%s)
echo "Qt built in $(( (ended - started) / 60 )) min (ended $(date -u +%FT%TZ))" >&2
echo "started $started ended $ended seconds $((ended - started))" >> "$stamp"
if [ -s "$missing" ]; then
    echo "windows-qt: built without $(cat "$missing" | tr '\n' ' ')- run again when the archive has it" >&2
fi
rm -rf "$build"
echo "$prefix"
