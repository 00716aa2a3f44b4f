#!/usr/bin/env bash
# Names by one rule: clang-tidy's readability-identifier-naming (.clang-tidy)
# over every source of the tool, the terminal tool and the simulated device.
# Usage: scripts/check-names.sh [BUILD_DIR]  (a configured build: it reads
# compile_commands.json there).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json" >&2; exit 2; }
command -v clang-tidy >/dev/null || { echo "clang-tidy is missing (scripts/install-deps.sh)" >&2; exit 2; }
# Generated headers (the udev rule's text) must exist before the sources parse.
cmake --build "$build" --target talvo_core >/dev/null

out=$(git ls-files '*.cpp' | grep -E '^(app|capture|cli|device|remote|rom|sim|timing|ui)/' |
    xargs -P "$(nproc)" -n 6 clang-tidy -p "$build" --quiet 2>/dev/null || true)
if grep -q 'error:' <<<"$out"; then
    printf '%s\n' "$out" >&2
    echo "names: $(grep -c 'error:' <<<"$out") names break the rule (.clang-tidy)" >&2
    exit 1
fi
echo "names: all follow the rule"
