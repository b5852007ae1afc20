# Sourced by the build scripts. Compiles go through ccache when it is installed, so that the
# next build of unchanged sources (another checkout, the next CI run) takes seconds instead of
# minutes. Paths inside the checkout are hashed relative to it, so every checkout shares one
# cache. A launcher the caller has chosen already is left alone.
if command -v ccache >/dev/null 2>&1 && [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]; then
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR=1
fi
