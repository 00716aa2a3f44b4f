#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
# SANITIZE=1 builds and runs them with AddressSanitizer and UBSan instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON)
if [ "${SANITIZE:-0}" = 1 ]; then
    # The fuzz targets' build: clang, AddressSanitizer and UBSan on every
    # library. fuzz/run_all.sh uses the same folder, so CI compiles the
    # sources under the sanitizers once for both. Optimised, with debug info
    # so that the sanitizers' reports keep their lines; the plain build
    # already compiles the benchmarks.
    build=build-fuzz
    flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTALVO_FUZZ=ON
           -DBUILD_TESTING=ON -DTALVO_BENCH=OFF)
    # Qt's and fontconfig's one-time allocations are not ours to free.
    export ASAN_OPTIONS="detect_leaks=0:verify_asan_link_order=0:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi

source scripts/build-env.sh
# The sanitizers bring their own checks; Debian's flags are for what ships.
[ "${SANITIZE:-0}" = 1 ] || talvo_hardened_flags
talvo_compiler_cache flags

export QT_QPA_PLATFORM=offscreen
cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j2
