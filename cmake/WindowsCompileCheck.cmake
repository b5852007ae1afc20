# A compile check of the program's Windows-only branches in the Linux build, wherever the
# POSIX-thread MinGW compiler is installed: each source with such a branch is compiled for
# i686-w64-mingw32 (syntax only) against the Windows API headers and the build machine's Qt
# headers, which serve for this (Q_OS_WIN comes from the compiler). The Windows build itself
# (scripts/windows-build.sh) needs a Qt built for Windows and takes hours the first time.
find_program(MINGW_I686_GXX i686-w64-mingw32-g++-posix)
if(NOT MINGW_I686_GXX OR WIN32 OR NOT VOLTADESK_MINGW_MATHLIB)
    return()
endif()

# Source, and the target whose include directories it compiles with.
set(windowsBranches
    runner/stopsignals.cpp voltadesk_runner
    runner/main.cpp voltadesk_runner
    app/librarypaths.cpp voltadesk_app
    module/driverdirectory.cpp voltadesk_module
    moduledebug/scenarioselection.cpp voltadesk_scenarios)
set(checkDir ${CMAKE_BINARY_DIR}/windows-check)
file(MAKE_DIRECTORY ${checkDir})
set(checked)
while(windowsBranches)
    list(POP_FRONT windowsBranches source target)
    if(NOT EXISTS ${CMAKE_SOURCE_DIR}/${source})
        continue()
    endif()
    string(MAKE_C_IDENTIFIER ${source} stampName)
    set(stamp ${checkDir}/${stampName}.checked)
    set(includes "$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>")
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${MINGW_I686_GXX} -std=c++17 -fsyntax-only -fPIC -Wall -Wextra -Werror
            -Wno-attributes -DVOLTADESK_VERSION="${PROJECT_VERSION}"
            "-I$<JOIN:${includes},;-I>" ${CMAKE_SOURCE_DIR}/${source}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${CMAKE_SOURCE_DIR}/${source}
        COMMAND_EXPAND_LISTS
        VERBATIM)
    list(APPEND checked ${stamp})
endwhile()
add_custom_target(windows_branches_check ALL DEPENDS ${checked})
message(STATUS "Checking that the Windows-only code compiles with ${MINGW_I686_GXX}")
