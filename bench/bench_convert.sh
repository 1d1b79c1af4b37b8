#!/usr/bin/env bash
# Converting a 64 pt OF font file to BDF and to an atlas, against otf2bdf writing BDF from the TTF at the same
# size and DPI; whole processes, best of runs.
# Usage: bench/bench_convert.sh BUILD_DIR [runs]
set -euo pipefail
build=${1:?build directory}
runs=${2:-5}
oftool="$build/software/oftool/oftool"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

QT_QPA_PLATFORM=offscreen "$oftool" render --size 64 --dpi 96 --output "$work/sans.of" >/dev/null 2>&1

now() { date +%s%N; }
# The best whole-process time of the command, in nanoseconds.
best() {
    local best_time="" start elapsed
    for _ in $(seq "$runs"); do
        start=$(now)
        "$@" >/dev/null 2>&1 || [ $? -eq 8 ] # otf2bdf exits with 8 even when it succeeds
        elapsed=$(( $(now) - start ))
        if [ -z "$best_time" ] || [ "$elapsed" -lt "$best_time" ]; then best_time=$elapsed; fi
    done
    echo "$best_time"
}

to_bdf=$(best "$oftool" convert "$work/sans.of" "$work/sans.bdf")
to_atlas=$(best "$oftool" convert "$work/sans.of" "$work/sans.fnt")
otf2bdf=$(best otf2bdf -p 64 -r 96 -l "33_126 168 224 231_233" -o "$work/otf2bdf.bdf" "$font")

awk -v b="$to_bdf" -v a="$to_atlas" -v t="$otf2bdf" 'BEGIN {
    printf "%-36s %10s %8s\n", "DejaVu Sans 64 pt, 96 dpi", "best ms", "/ otf2bdf"
    printf "%-36s %10.1f %8.2f\n", "oftool convert OF -> BDF", b / 1e6, b / t
    printf "%-36s %10.1f %8.2f\n", "oftool convert OF -> atlas (.fnt+.png)", a / 1e6, a / t
    printf "%-36s %10.1f %8.2f\n", "otf2bdf TTF -> BDF", t / 1e6, 1
}'
