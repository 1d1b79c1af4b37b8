#!/usr/bin/env bash
# Builds every libFuzzer target in fuzz/ with clang and runs each for a bounded time.
# Usage: scripts/fuzz.sh [seconds per target]   (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQMF_FUZZ=ON -DBUILD_TESTING=OFF -DQMF_BUILD_BENCH=OFF >/dev/null
# The fuzz targets alone: they link the framework, not the programs.
targets=()
for source in fuzz/fuzz_*.cpp; do
    [ -e "$source" ] && targets+=("$(basename "$source" .cpp)")
done
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for source in fuzz/fuzz_*.cpp; do
    [ -e "$source" ] || continue
    name=$(basename "$source" .cpp)
    target=${name#fuzz_}
    work="build-fuzz/run/$target"
    rm -rf "$work" && mkdir -p "$work/corpus"
    args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
          -artifact_prefix="$work/")
    [ -f "fuzz/$target.dict" ] && args+=(-dict="fuzz/$target.dict")
    corpora=("$work/corpus")
    [ -d "fuzz/corpus/$target" ] && corpora+=("fuzz/corpus/$target")
    echo "== fuzzing $target for ${seconds}s"
    "build-fuzz/fuzz/$name" "${args[@]}" "${corpora[@]}" 2>"$work/log" || { tail -n 60 "$work/log"; exit 1; }
    grep -E '^stat::number_of_executed_units|^Done' "$work/log" || true
done
