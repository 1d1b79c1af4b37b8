#!/usr/bin/env bash
# Sets up, builds in release mode and runs the benchmarks; prints figures, asserts nothing.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-release -j"$(nproc)"
QT_QPA_PLATFORM=offscreen build-release/bench/bench_fontfile "$@"
