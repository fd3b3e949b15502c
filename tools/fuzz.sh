#!/usr/bin/env bash
# Builds the libFuzzer targets with AddressSanitizer and UndefinedBehaviorSanitizer (clang) and
# runs each for the given seconds (default 60) from its seed corpus in fuzz/corpus/<target>.
# A crash, leak, sanitizer report, broken invariant or timeout fails the run; the input that
# failed is kept in build-fuzz/artifacts/.
#   FUZZ_TARGETS="processor" tools/fuzz.sh 3600   one target for an hour
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh clang libclang-rt-14-dev
dir=build-fuzz
CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHUMMBOX_WERROR=ON \
    -DHUMMBOX_FUZZ=ON -DHUMMBOX_SANITIZE=fuzzer-no-link,address,undefined >/dev/null
cmake --build "$dir" -j"$(nproc)" --target hummbox_fuzz
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
mkdir -p "$dir/artifacts" && status=0
for target in ${FUZZ_TARGETS:-$(ls fuzz/corpus)}; do
    log="$dir/fuzz-$target.log" && mkdir -p "$dir/corpus/$target" # new inputs; seeds are read only
    echo "fuzz_$target: ${seconds:=${1:-60}}s"
    if "$dir/fuzz_$target" "$dir/corpus/$target" "fuzz/corpus/$target" -max_total_time="$seconds" \
        -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/artifacts/$target-" \
        >"$log" 2>&1; then
        grep -E "^stat::(number_of_executed_units|new_units_added)" "$log" | sed 's/^/    /'
    else
        echo "fuzz_$target FAILED; log: $log"
        grep -E "ERROR|SUMMARY|invariant|runtime error|Test unit written" "$log" | head -n 20
        status=1
    fi
done
exit "$status"
