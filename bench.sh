#!/usr/bin/env bash
# Sets up, builds in release mode and runs every benchmark; prints figures, asserts nothing.
# Usage: ./bench.sh [name...]   (names like writer, reader; default all)
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh otf2bdf

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-release -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
    for source in bench/bench_*.cpp bench/bench_*.sh; do
        name=$(basename "$source")
        names+=("${name%.*}")
        names[-1]=${names[-1]#bench_}
    done
fi
for name in "${names[@]}"; do
    echo "== bench_$name"
    if [ -x "bench/bench_$name.sh" ]; then
        "bench/bench_$name.sh" build-release
    else
        "build-release/bench/bench_$name"
    fi
done
