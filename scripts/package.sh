#!/usr/bin/env bash
# Builds the Debian package: installs what is missing, makes a Release build
# in build-package/ with Debian's hardening flags, and packs it with CPack.
# The last line printed is the path of the .deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh >&2

build=build-package
# Debian's own compiler and linker flags (hardening, no build paths in the
# binaries); -Werror stays on top of them.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
eval "$(dpkg-buildflags --export=sh)"
export CFLAGS CPPFLAGS CXXFLAGS LDFLAGS
CXXFLAGS="$CPPFLAGS $CXXFLAGS"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# A stale cache would keep the flags of an earlier run.
rm -f "$build/CMakeCache.txt" "$build"/*.deb
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTALVO_BENCH=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr "${launcher[@]}" >&2
cmake --build "$build" >&2
(cd "$build" && cpack -G DEB) >&2

debs=("$build"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "package.sh: expected one .deb in $build" >&2; exit 1; }
realpath "${debs[0]}"
