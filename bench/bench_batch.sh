#!/usr/bin/env bash
# A batch of one family at 8 sizes: oftool render (one process, OF font files) against otf2bdf
# (one process per size, BDF fonts of the same 99 characters at the same sizes and DPI).
# Usage: bench/bench_batch.sh BUILD_DIR [runs]
set -euo pipefail
build=${1:?build directory}
runs=${2:-5}
oftool="$build/software/oftool/oftool"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
sizes=(12 16 24 32 48 64 96 128)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s%N; }

best_ours=""
best_theirs=""
for _ in $(seq "$runs"); do
    start=$(now)
    QT_QPA_PLATFORM=offscreen "$oftool" render --family "DejaVu Sans" --style Book \
        --size "$(IFS=,; echo "${sizes[*]}")" --dpi 96 --output "$work/of" >/dev/null 2>&1
    ours=$(( $(now) - start ))

    start=$(now)
    for size in "${sizes[@]}"; do
        # otf2bdf exits with 8 even when it succeeds.
        otf2bdf -p "$size" -r 96 -l "33_126 168 224 231_233" -o "$work/$size.bdf" "$font" || [ $? -eq 8 ]
    done
    theirs=$(( $(now) - start ))

    if [ -z "$best_ours" ] || [ "$ours" -lt "$best_ours" ]; then best_ours=$ours; fi
    if [ -z "$best_theirs" ] || [ "$theirs" -lt "$best_theirs" ]; then best_theirs=$theirs; fi
done

of_bytes=$(cat "$work"/of/*.of | wc -c)
bdf_bytes=$(cat "$work"/*.bdf | wc -c)
awk -v o="$best_ours" -v t="$best_theirs" -v ob="$of_bytes" -v tb="$bdf_bytes" -v n="${#sizes[@]}" 'BEGIN {
    printf "%-28s %10s %12s\n", "batch of " n " sizes (12-128 pt)", "best ms", "output MB"
    printf "%-28s %10.1f %12.2f\n", "oftool render (OF files)", o / 1e6, ob / 1e6
    printf "%-28s %10.1f %12.2f\n", "otf2bdf (BDF files)", t / 1e6, tb / 1e6
    printf "ratio oftool / otf2bdf: %.2f (whole-process time, best of runs)\n", o / t
}'
