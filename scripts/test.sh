#!/usr/bin/env bash
# Installs the Debian packages that are missing, then builds and runs every test three times: a plain build, an AddressSanitizer +
# UndefinedBehaviorSanitizer build, and a ThreadSanitizer build of the core alone (no Qt),
# which runs the tests that start threads and proves that the core does not need Qt; then
# every fuzz target for 30 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

run_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DTWK_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

echo "== plain build"
run_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== address and undefined-behaviour sanitizers"
run_build build-asan -DCMAKE_BUILD_TYPE=Debug -DTWK_SANITIZE=address,undefined -DTWK_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== thread sanitizer, core without Qt"
run_build build-tsan -DCMAKE_BUILD_TYPE=Debug -DTWK_SANITIZE=thread -DTWK_GUI=OFF -DTWK_BENCH=OFF
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build-tsan --output-on-failure -j "$jobs" -L threads

echo "== fuzzing, each target 30 seconds"
./scripts/fuzz.sh 30

echo "== all tests passed"
