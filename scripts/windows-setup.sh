#!/bin/sh
# Installs the Debian 12 packages that the Windows build and its Wine checks need, on top of
# those of scripts/setup.sh: the MinGW-w64 cross compilers, NSIS, zip, the Unicode tables
# that RE2's sources are completed from, and Wine with its 32-bit half, for which i386 is
# added as a foreign architecture here (and only here). Run as root, or it prints the command.
set -e
cd "$(dirname "$0")/.."
scripts/setup.sh demo

packages="g++-mingw-w64-i686 gcc-mingw-w64-i686 mingw-w64-tools binutils-mingw-w64-i686 nsis zip \
unicode-data perl python3 rpcsvc-proto dpkg-dev xvfb xauth imagemagick iproute2 util-linux wine wine32"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "The Windows build needs these Debian packages:$missing" >&2
    echo "Install them with:" >&2
    echo "  sudo dpkg --add-architecture i386 && sudo apt-get update &&" \
        "sudo apt-get install -y --no-install-recommends$missing" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# wine32 is an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends $missing
