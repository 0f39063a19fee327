#!/usr/bin/env bash
# Fuzzes each text parser for a bounded time, two at a time:
#   scripts/fuzz.sh BUILD_DIR SECONDS
# BUILD_DIR is a build configured with -DQUARVEL_BUILD_FUZZ=ON.
set -euo pipefail
cd "$(dirname "$0")/.."

build="$1"
seconds="$2"
targets=(fuzz_numeric_value fuzz_list_line fuzz_quick_open fuzz_date_text)
findings="$build/fuzz-findings"
scratch="$build/fuzz-scratch"
mkdir -p "$findings"
rm -rf "$scratch"

export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0"

fuzz() {
    local target="$1"
    mkdir -p "$scratch/$target"
    "$build/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" \
        "$scratch/$target" "tests/fuzz/corpus/$target" >"$build/$target.log" 2>&1
}

failed=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
    pids=()
    for target in "${targets[@]:i:2}"; do
        fuzz "$target" &
        pids+=("$!:$target")
    done
    for entry in "${pids[@]}"; do
        if wait "${entry%%:*}"; then
            echo "${entry#*:}: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' \
                "$build/${entry#*:}.log" | grep -o '[0-9]*$') inputs, no findings"
        else
            echo "${entry#*:}: FAILED, see $build/${entry#*:}.log" >&2
            tail -n 40 "$build/${entry#*:}.log" >&2
            failed=1
        fi
    done
done
exit "$failed"
