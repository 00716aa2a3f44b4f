#!/usr/bin/env bash
# A short, bounded fuzz run of the report-descriptor parser, as CI runs it.
# Usage: fuzz/run_short.sh BUILD_DIR DESCRIPTOR_SAMPLES_DIR [SECONDS]
# Configures a clang build with TALVO_FUZZ in BUILD_DIR, builds the fuzz
# target, starts it from the sample descriptors and fuzzes for SECONDS
# (default 60). Exits non-zero when the fuzzer finds a crash.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 BUILD_DIR DESCRIPTOR_SAMPLES_DIR [SECONDS]" >&2
    exit 2
fi
build=$1
samples=$2
seconds=${3:-60}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DTALVO_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target report_descriptor_fuzzer --parallel 2

# The starting inputs: every descriptor of the samples, one binary file each.
starts=$build/fuzz-starts
corpus=$build/fuzz-corpus
rm -rf "$starts"
mkdir -p "$starts" "$corpus"
count=0
for file in "$samples"/*.txt; do
    [ -e "$file" ] || continue
    while IFS= read -r line; do
        case $line in
        real_descriptor_hex:* | expected_descriptor_hex:* | descriptor_hex:*)
            key=${line%%:*}
            bytes=""
            for pair in ${line#*:}; do bytes+="\\x$pair"; done
            printf "%b" "$bytes" >"$starts/$(basename "$file" .txt)_$key.bin"
            count=$((count + 1))
            ;;
        esac
    done <"$file"
done
if [ "$count" -eq 0 ]; then
    echo "no sample descriptors found in $samples" >&2
    exit 2
fi
echo "fuzzing for ${seconds}s from $count sample descriptors"

"$build/fuzz/report_descriptor_fuzzer" -max_total_time="$seconds" -max_len=4096 \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/" "$corpus" "$starts"
