#!/usr/bin/env bash
# Builds hummbox and runs every test.
#   tools/test.sh                    release build in build/
#   tools/test.sh address,undefined  sanitizer build in build-address-undefined/
#   tools/test.sh thread             ThreadSanitizer build in build-thread/
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh

sanitize="${1:-}"
if [ -z "$sanitize" ]; then
    dir=build
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DHUMMBOX_WERROR=ON >/dev/null
else
    dir="build-${sanitize//,/-}"
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHUMMBOX_WERROR=ON \
        -DHUMMBOX_SANITIZE="$sanitize" >/dev/null
fi
cmake --build "$dir" -j"$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tools/tsan.supp"
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
