#!/bin/sh
# Installs the Debian 12 packages voltaDesk needs. "demo" installs what building and running
# the program needs (with lrelease for its translation and dpkg-dev for its Debian package);
# "test" also the independent VXI-11 clients, the cross compiler, the clang with libFuzzer and
# sanitizer runtimes, and the desktop-entry and metainfo validators, lintian and xdotool that
# the package's test uses. Run as root, or it prints the command to run.
set -e
purpose=${1:-test}

packages="build-essential cmake ninja-build pkg-config qtbase5-dev libqt5serialport5-dev libqt5charts5-dev \
qttools5-dev-tools libtirpc-dev rpcsvc-proto libre2-dev zlib1g-dev iproute2 util-linux xvfb xauth \
dpkg-dev ccache libqt5sql5-sqlite libqt5sql5-psql help2man qttranslations5-l10n"
if [ "$purpose" = test ]; then
    packages="$packages lxi-tools python3-pyvisa-py locales gcc-mingw-w64-i686 g++-mingw-w64-i686 clang \
libclang-rt-14-dev \
desktop-file-utils appstream xdotool postgresql lintian"
fi

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" = 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends $missing
else
    echo "voltaDesk needs these Debian packages:$missing" >&2
    echo "Install them with:" >&2
    echo "  sudo apt-get install -y --no-install-recommends$missing" >&2
    exit 1
fi
