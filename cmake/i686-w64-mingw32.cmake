# Cross-building for 32-bit Windows with Debian's MinGW-w64 compilers, POSIX-thread variant
# (the program and its VISA library use std::thread).
#
# The Qt built for Windows by scripts/windows-qt.sh and the libraries built beside it are
# named by the environment, so that CMake's test projects see them too:
#   VOLTADESK_WINDOWS_QT    the Qt prefix (its lib/cmake holds Qt5Config.cmake)
#   VOLTADESK_WINDOWS_DEPS  the prefix of the other cross-built libraries (RE2)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
foreach(prefix "$ENV{VOLTADESK_WINDOWS_QT}" "$ENV{VOLTADESK_WINDOWS_DEPS}")
    if(prefix)
        list(APPEND CMAKE_FIND_ROOT_PATH "${prefix}")
    endif()
endforeach()
# Programs (moc, rcc, rpcgen, lrelease) are the build machine's; everything else is Windows'.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
