#!/usr/bin/env bash
# Builds the Debian package: installs what is missing, makes an optimised build
# in build-package/ with the test build's flags (see build-env.sh), and packs it
# with CPack, which strips the programs.
# The last line printed is the path of the .deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh >&2

build=build-package
source scripts/build-env.sh
talvo_hardened_flags
launcher=()
talvo_compiler_cache launcher

# A stale cache would keep the flags of an earlier run.
rm -f "$build/CMakeCache.txt" "$build"/*.deb
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DTALVO_BENCH=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr "${launcher[@]}" >&2
cmake --build "$build" >&2
(cd "$build" && cpack -G DEB) >&2

debs=("$build"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "package.sh: expected one .deb in $build" >&2; exit 1; }
realpath "${debs[0]}"
