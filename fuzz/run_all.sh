#!/usr/bin/env bash
# Builds every libFuzzer target and fuzzes each for SECONDS from its corpus.
# Usage: fuzz/run_all.sh SECONDS [TARGET...]
#
# The build goes to build-fuzz in the checkout (clang, -DTALVO_FUZZ=ON).
# Each target starts from fuzz/corpus/<target>/ (read only) and keeps what
# it learns in build-fuzz/corpus/<target>/; the report-descriptor target also
# starts from the descriptor samples of tests/data/hid-descriptors. Prints the
# executions of each target and exits non-zero when any target finds a crash,
# a leak, a timeout or a failed check (its input is left in
# build-fuzz/findings/<target>/).
set -euo pipefail

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
    echo "usage: $0 SECONDS [TARGET...]" >&2
    exit 2
fi
seconds=$1
shift
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$source_dir/build-fuzz

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=($(sed -n 's/^talvo_add_fuzzer(\([a-z_]*\) .*/\1/p' "$source_dir/fuzz/CMakeLists.txt"))
fi

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DTALVO_FUZZ=ON -DTALVO_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" --target "${targets[@]}" --parallel 2

# The descriptor samples as binary starting inputs, one file per descriptor.
descriptor_starts() {
    local into=$1 count=0 file line key bytes pair
    rm -rf "$into"
    mkdir -p "$into"
    for file in "$source_dir"/tests/data/hid-descriptors/*.txt; do
        [ -e "$file" ] || continue
        while IFS= read -r line; do
            case $line in
            real_descriptor_hex:* | expected_descriptor_hex:* | descriptor_hex:*)
                key=${line%%:*}
                bytes=""
                for pair in ${line#*:}; do bytes+="\\x$pair"; done
                printf "%b" "$bytes" >"$into/$(basename "$file" .txt)_$key.bin"
                count=$((count + 1))
                ;;
            esac
        done <"$file"
    done
    if [ "$count" -eq 0 ]; then
        echo "no sample descriptors in tests/data/hid-descriptors" >&2
        return 1
    fi
}

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"

# The file targets write a file per input: keep it in memory where possible.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

# One target's run; its verdict goes to logs/<target>.summary and, when it
# found something, logs/<target>.failed.
fuzz_one() {
    local target=$1 work findings log status=0 executions starts options
    work=$build/corpus/$target
    findings=$build/findings/$target
    log=$build/logs/$target.log
    mkdir -p "$work" "$findings" "$(dirname "$log")"
    rm -f "$build/logs/$target.failed"
    starts=("$source_dir/fuzz/corpus/$target")
    if [ "$target" = report_descriptor_fuzzer ]; then
        descriptor_starts "$build/starts/$target"
        starts+=("$build/starts/$target")
    fi
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix="$findings/")
    if [ -f "$source_dir/fuzz/$target.options" ]; then
        options+=($(cat "$source_dir/fuzz/$target.options"))
    fi
    "$build/fuzz/$target" "${options[@]}" "$work" "${starts[@]}" >"$log" 2>&1 || status=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    if [ "$status" -ne 0 ]; then
        tail -n 40 "$log"
        echo "$target: FINDING (exit $status, executions ${executions:-?}, see $log)" \
            >"$build/logs/$target.summary"
        touch "$build/logs/$target.failed"
    else
        echo "$target: ${executions:-?} executions in ${seconds}s" >"$build/logs/$target.summary"
    fi
}

# Each target runs on one core: as many at once as there are cores.
cores=$(nproc)
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$cores" ]; do wait -n || true; done
    echo "== $target: ${seconds}s"
    fuzz_one "$target" &
done
wait

failed=()
summary=()
for target in "${targets[@]}"; do
    summary+=("$(cat "$build/logs/$target.summary")")
    [ -e "$build/logs/$target.failed" ] && failed+=("$target")
done

echo "== fuzz summary"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -ne 0 ]; then
    echo "findings in: ${failed[*]}" >&2
    exit 1
fi
