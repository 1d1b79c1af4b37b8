#!/usr/bin/env bash
# Builds every libFuzzer target in fuzz/ with clang and runs each for a bounded time.
# Usage: scripts/fuzz.sh [seconds per target]   (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}

# Several sources compiled as one: a third less build time; the normal build checks each source alone.
generator=()
[ -f build-fuzz/CMakeCache.txt ] || generator=(-GNinja) # as test.sh chooses it
CC=clang CXX=clang++ cmake -S . -B build-fuzz "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQMF_FUZZ=ON -DBUILD_TESTING=OFF -DQMF_BUILD_BENCH=OFF -DCMAKE_UNITY_BUILD=ON >/dev/null
# The fuzz targets alone: they link the framework, not the programs.
targets=()
for source in fuzz/fuzz_*.cpp; do
    [ -e "$source" ] && targets+=("$(basename "$source" .cpp)")
done
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# One target per processor at a time; each stops after its own time.
fuzz_one() {
    local name=$1 target=${1#fuzz_}
    local work="build-fuzz/run/$target"
    rm -rf "$work" && mkdir -p "$work/corpus"
    local args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
                -artifact_prefix="$work/")
    [ -f "fuzz/$target.dict" ] && args+=(-dict="fuzz/$target.dict")
    local corpora=("$work/corpus")
    [ -d "fuzz/corpus/$target" ] && corpora+=("fuzz/corpus/$target")
    if ! "build-fuzz/fuzz/$name" "${args[@]}" "${corpora[@]}" 2>"$work/log"; then
        echo "== fuzzing $target failed:"
        tail -n 60 "$work/log"
        return 1
    fi
    echo "== fuzzed $target for ${seconds}s"
    grep -E '^stat::number_of_executed_units|^Done' "$work/log" || true
}

pids=()
names=()
status=0
for name in "${targets[@]}"; do
    if [ ${#pids[@]} -ge "$(nproc)" ]; then
        wait "${pids[0]}" || status=1
        pids=("${pids[@]:1}")
    fi
    fuzz_one "$name" > "build-fuzz/$name.out" 2>&1 &
    pids+=($!)
    names+=("$name")
done
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done
for name in "${names[@]}"; do
    cat "build-fuzz/$name.out"
done
exit $status
