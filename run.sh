#!/usr/bin/env bash
# Sets up, builds and starts QuillmereMakeFont.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

echo "Built the framework library in build/framework. The window is not part of this build yet."
