#!/usr/bin/env bash
# Sets up, builds in release mode and runs every benchmark; prints figures, asserts nothing.
# Usage: ./bench.sh [name...]   (names like writer, reader; default all)
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-release -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
    for source in bench/bench_*.cpp; do
        name=$(basename "$source" .cpp)
        names+=("${name#bench_}")
    done
fi
for name in "${names[@]}"; do
    echo "== bench_$name"
    "build-release/bench/bench_$name"
done
