#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with AddressSanitizer and
# UndefinedBehaviorSanitizer (Clang, in build-fuzz/) and runs each for SECONDS seconds
# (default 60), seeded from tests/fuzz/corpus/NAME and, where the project keeps them, the
# real board pages in ../shared/samples. New inputs go to build-fuzz/corpus/NAME; a crash
# leaves its input in build-fuzz/artifacts/NAME and makes the script fail. Copy such an
# input into tests/fuzz/corpus/NAME once it is fixed, so that every later run repeats it.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=build-fuzz
jobs=$(nproc 2>/dev/null || echo 2)

./scripts/install-deps.sh

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTWK_FUZZ=ON -DTWK_SANITIZE=address,undefined -DTWK_GUI=OFF -DTWK_TESTS=OFF \
    -DTWK_BENCH=OFF -DTWK_WERROR=ON >/dev/null
targets=()
for source in tests/fuzz/fuzz_*.cpp; do
    targets+=("$(basename "$source" .cpp)")
done
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

samples=../shared/samples
# In CI every run starts from the same seed, so that a run that passed here passes there;
# by hand each run explores afresh.
seed=()
if [ -n "${CI:-}" ]; then
    seed=(-seed=1)
fi
failed=()
for target in "${targets[@]}"; do
    name=${target#fuzz_}
    work="$build/corpus/$name"
    artifacts="$build/artifacts/$name"
    mkdir -p "$work" "$artifacts"
    seeds=("tests/fuzz/corpus/$name")
    if [ "$name" = html_document ] && [ -d "$samples" ]; then
        seeds+=("$samples")
    fi
    echo "== $target for ${seconds}s"
    log="$build/$name.log"
    if ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$build/tests/fuzz/$target" "${seed[@]}" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "${seeds[@]}" \
        >"$log" 2>&1; then
        grep -E "^(#[0-9]+.*(DONE|INITED)|stat::number_of_executed_units|stat::peak_rss)" \
            "$log" | tail -4 || true
    else
        failed+=("$target")
        tail -60 "$log"
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found crashes in: ${failed[*]} (inputs in $build/artifacts)"
    exit 1
fi
echo "== fuzzing found nothing"
