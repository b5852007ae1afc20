#!/bin/sh
# Completes a staged Windows distribution with what its programs load: every DLL that an .exe
# or .dll in it imports, found in the Qt prefix or in the cross compiler's run-time, copied
# beside the programs, then the DLLs those import, until nothing is missing; and the Qt
# plug-ins a widgets program loads at run time (platform, style, image formats).
#   scripts/windows-deploy.sh <staging folder> <Qt prefix>
# DLLs of Windows itself and visa32.dll (the workstation's VISA) are left to the system.
set -e
stage=$1
qt=$2
objdump=i686-w64-mingw32-objdump
gccdir=$(dirname "$(i686-w64-mingw32-gcc-posix -print-libgcc-file-name)")
searchDirs="$qt/bin $gccdir /usr/i686-w64-mingw32/lib"

for kind in platforms styles imageformats; do
    [ -d "$qt/plugins/$kind" ] || continue
    mkdir -p "$stage/$kind"
    for plugin in "$qt/plugins/$kind"/*.dll; do
        case "$(basename "$plugin")" in
        *d.dll) [ -f "${plugin%d.dll}.dll" ] && continue ;; # a debug build beside a release one
        esac
        case "$kind/$(basename "$plugin")" in
        platforms/qwindows.dll | platforms/qminimal.dll | platforms/qoffscreen.dll | styles/* | \
            imageformats/qico.dll | imageformats/qjpeg.dll | imageformats/qgif.dll | imageformats/qsvg.dll)
            cp "$plugin" "$stage/$kind/" ;;
        esac
    done
done

imports() {
    "$objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p'
}

while :; do
    added=0
    for binary in $(find "$stage" -name '*.exe' -o -name '*.dll' | grep -v "/visa/"); do
        for dll in $(imports "$binary"); do
            [ -f "$stage/$dll" ] && continue
            for dir in $searchDirs; do
                found=$(find "$dir" -maxdepth 1 -iname "$dll" | head -n 1)
                if [ -n "$found" ]; then
                    cp "$found" "$stage/$dll"
                    added=1
                    break
                fi
            done
        done
    done
    [ "$added" = 0 ] && break
done
