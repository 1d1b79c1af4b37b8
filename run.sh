#!/usr/bin/env bash
# Sets up, builds and starts QuillmereMakeFont.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

app=build/software/QuillmereMakeFont/QuillmereMakeFont
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<MESSAGE
QuillmereMakeFont is built, but its window needs a desktop and this session has no display
(neither DISPLAY nor WAYLAND_DISPLAY is set). Start ./run.sh in a desktop session (or over ssh -X).
Without a desktop:
  xvfb-run -a $app
      starts the window on a virtual X server, out of sight;
  ./test.sh
      runs the tests, which drive the window headless and save a screenshot of it
      in build/artifacts/mainwindow.png.
MESSAGE
    exit 1
fi
exec "$app" "$@"
