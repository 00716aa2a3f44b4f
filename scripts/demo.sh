#!/usr/bin/env bash
# Installs what is missing, builds, and starts the tool on the simulated TALVO-4.
# Every command report the device receives is printed on standard output.
# The device keeps the link's real pace (one report per 1 ms frame each way);
# options go to the demo: --simulate-speed instant, --simulate-devices N,
# --simulate-reset.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target talvo4-demo
exec build/app/talvo4-demo "$@"
