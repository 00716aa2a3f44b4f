# Sourced by scripts/test.sh and scripts/package.sh: what a build of the tool
# gets from its surroundings. Both builds compile with Debian's hardening
# flags, so the tests run what the package ships, and with the same flags,
# so that ccache hands the package build the test build's objects.

# Debian's own compiler and linker flags (hardening, no build paths in the
# binaries); -Werror stays on top of them.
talvo_hardened_flags() {
    export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
    eval "$(dpkg-buildflags --export=sh)"
    CXXFLAGS="$CPPFLAGS $CXXFLAGS"
    export CFLAGS CPPFLAGS CXXFLAGS LDFLAGS
}

# Fills the array named by $1 with the compiler launcher where ccache is
# installed, and lets builds in other folders of this checkout share hits.
talvo_compiler_cache() {
    local -n launcher_flags=$1
    command -v ccache >/dev/null || return 0
    launcher_flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    CCACHE_BASEDIR=$(pwd)
    # The build folder differs between the builds; the objects do not.
    CCACHE_NOHASHDIR=1
    # Lets ccache keep the test files too, which use precompiled headers.
    CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
    export CCACHE_BASEDIR CCACHE_NOHASHDIR CCACHE_SLOPPINESS
}
