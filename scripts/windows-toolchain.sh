# Sourced by the Windows scripts: puts the POSIX-thread variant of the i686-w64-mingw32
# compilers first on PATH under their plain names, which Qt's build and CMake call.
mingwbin=${VOLTADESK_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/voltadesk-windows}/mingw-posix
mkdir -p "$mingwbin"
for tool in gcc g++ c++ cpp; do
    if [ -x "/usr/bin/i686-w64-mingw32-$tool-posix" ]; then
        ln -sf "/usr/bin/i686-w64-mingw32-$tool-posix" "$mingwbin/i686-w64-mingw32-$tool"
    fi
done
case ":$PATH:" in
*":$mingwbin:"*) ;;
*) PATH=$mingwbin:$PATH; export PATH ;;
esac
