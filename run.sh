#!/usr/bin/env bash
# Sets up, builds and starts QuillmereMakeFont; without a display, renders the default font with oftool.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

app=build/software/QuillmereMakeFont/QuillmereMakeFont
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    # No desktop to show the window on: make the default font from the command line instead.
    echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): the window needs a desktop." >&2
    echo "Rendering the default font with build/software/oftool/oftool render instead:" >&2
    build/software/oftool/oftool render "$@"
    echo "Done. 'build/software/oftool/oftool render --help' lists the options;" >&2
    echo "'xvfb-run -a $app' starts the window on a virtual X server." >&2
    exit 0
fi
exec "$app" "$@"
