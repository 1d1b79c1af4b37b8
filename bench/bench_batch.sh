#!/usr/bin/env bash
# Batches in one oftool process against otf2bdf, one process per font and size as it needs:
#   A. every installed family at 16 pt (its default style),
#   B. one family, every style, 8 to 72 pt,
# oftool with -j 1 and -j 2. Prints wall time, CPU time and peak memory side by side, measured in
# the same run, and the ratios; checks first that -j 2 writes -j 1's bytes. Asserts no timing.
# Also: B at -j 2 written to tmpfs, where a file's sync costs nothing, against the same on disk.
# Usage: bench/bench_batch.sh BUILD_DIR [runs]    (BENCH_SMOKE=1: one quick pass, to check it works)
set -euo pipefail
build=${1:?build directory}
runs=${2:-3}
oftool="$build/software/oftool/oftool"
family="DejaVu Sans"
sizes=8-72
if [ -n "${BENCH_SMOKE:-}" ]; then
    runs=1
    sizes=8-10
fi
# In the build directory, on the disk where the files would go, rather than in a tmpfs /tmp.
work=$(mktemp -d "$build/bench_batch.XXXXXX")
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
have_otf2bdf=$(command -v otf2bdf || true)

# Runs a command runs times; prints "wall user+sys peakKB" of the run with the best wall time.
measure() {
    local best=""
    for _ in $(seq "$runs"); do
        rm -rf "$work/out"
        /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null 2>&1 || true
        read -r wall user sys peak < <(tail -n 1 "$work/time")
        line="$wall $(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }') $peak"
        if [ -z "$best" ] || awk -v a="$wall" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then
            best=$line
        fi
    done
    echo "$best"
}

# The font files of a manifest's families and styles, one per line, for otf2bdf.
font_files() {
    # Compact JSON with sorted keys: "family" comes before "style".
    sed -E 's/.*"family":"([^"]*)".*"style":"([^"]*)".*/\1:style=\2/' "$1" | sort -u |
    while read -r pattern; do fc-match -f '%{file}\n' "$pattern"; done
}

# otf2bdf over a list of font files, at every size of a list, one process each.
cat > "$work/otf2bdf_all.sh" <<'SCRIPT'
#!/usr/bin/env bash
set -u
files=$1; shift
mkdir -p "$OUT"
while read -r file; do
    for size in "$@"; do
        # otf2bdf exits with 8 even when it succeeds.
        otf2bdf -p "$size" -r 96 -l "33_126 168 224 231_233" -o "$OUT/$(basename "$file").$size.bdf" "$file" || [ $? -eq 8 ]
    done
done < "$files"
SCRIPT
chmod +x "$work/otf2bdf_all.sh"

# oftool render with a number of threads, into a directory, writing the manifest otf2bdf_all.sh reads.
cat > "$work/oftool_run.sh" <<SCRIPT
#!/usr/bin/env bash
jobs=\$1 out=\$2
shift 2
exec "$oftool" render "\$@" -j "\$jobs" --dpi 96 --output "\$out/" --manifest "$work/manifest.jsonl"
SCRIPT
chmod +x "$work/oftool_run.sh"
run_oftool() { "$work/oftool_run.sh" "$@"; }

declare -A figures
batch() { # name, then oftool's arguments; otf2bdf gets the sizes from OTF_SIZES
    local name=$1
    shift
    run_oftool 1 "$work/check1" "$@" >/dev/null 2>&1 || true
    run_oftool 2 "$work/check2" "$@" >/dev/null 2>&1 || true
    if ! diff -r -q "$work/check1" "$work/check2" >/dev/null; then
        echo "bench_batch: $name: -j 2 did not write -j 1's bytes" >&2
        exit 1
    fi
    figures[$name,files]=$(find "$work/check1" -name '*.of' | wc -l)
    figures[$name,j1]=$(measure "$work/oftool_run.sh" 1 "$work/out" "$@")
    figures[$name,j2]=$(measure "$work/oftool_run.sh" 2 "$work/out" "$@")
    if [ -n "$have_otf2bdf" ]; then
        font_files "$work/manifest.jsonl" > "$work/files"
        figures[$name,otf2bdf]=$(OUT="$work/out" measure "$work/otf2bdf_all.sh" "$work/files" $OTF_SIZES)
    fi
    rm -rf "$work/check1" "$work/check2"
}

OTF_SIZES=16 batch "A" --all-families --size 16
OTF_SIZES=$(seq -s ' ' ${sizes%-*} ${sizes#*-}) batch "B" --family "$family" --all-styles --size "$sizes"
one_file=$(measure "$oftool" render --family "$family" --size "${sizes#*-}" --dpi 96 --output "$work/out/one.of")
on_tmpfs=""
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    shm=$(mktemp -d /dev/shm/bench_batch.XXXXXX)
    on_tmpfs=$(measure "$work/oftool_run.sh" 2 "$shm" --family "$family" --all-styles --size "$sizes")
    rm -rf "$shm"
fi

row() { # label, "wall cpu peakKB"
    read -r wall cpu peak <<<"$2"
    printf "  %-22s %8.2f %8.2f %9.1f\n" "$1" "$wall" "$cpu" "$(awk -v p="$peak" 'BEGIN { print p / 1024 }')"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
field() { awk -v n="$2" '{ print $n }' <<<"$1"; }

for name in A B; do
    if [ "$name" = A ]; then
        echo "A. every installed family at 16 pt: ${figures[A,files]} files"
    else
        echo "B. $family, every style, $sizes pt: ${figures[B,files]} files"
    fi
    printf "  %-22s %8s %8s %9s\n" "" "wall s" "CPU s" "peak MB"
    row "oftool -j 1" "${figures[$name,j1]}"
    row "oftool -j 2" "${figures[$name,j2]}"
    [ -n "$have_otf2bdf" ] && row "otf2bdf (per process)" "${figures[$name,otf2bdf]}"
    j1=${figures[$name,j1]}
    j2=${figures[$name,j2]}
    echo "  wall -j 1 / -j 2: $(ratio "$(field "$j1" 1)" "$(field "$j2" 1)")   CPU -j 2 / -j 1: $(ratio "$(field "$j2" 2)" "$(field "$j1" 2)")"
    if [ -n "$have_otf2bdf" ]; then
        other=${figures[$name,otf2bdf]}
        echo "  wall oftool -j 2 / otf2bdf: $(ratio "$(field "$j2" 1)" "$(field "$other" 1)")   CPU oftool -j 2 / otf2bdf: $(ratio "$(field "$j2" 2)" "$(field "$other" 2)")"
    fi
done
echo "peak memory: one ${sizes#*-} pt file $(row "" "$one_file" | awk '{ print $3 }') MB; B at -j 2 / one file: $(ratio "$(field "${figures[B,j2]}" 3)" "$(field "$one_file" 3)")"
if [ -n "$on_tmpfs" ]; then
    echo "B at -j 2, wall on disk / on tmpfs (no sync cost): $(ratio "$(field "${figures[B,j2]}" 1)" "$(field "$on_tmpfs" 1)")"
fi
