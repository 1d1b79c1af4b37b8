#!/usr/bin/env bash
# Forty-character lines at 32 px from DejaVu Sans, as grey PNG with gt.txt and metadata.jsonl:
# oftool compose with -j 1 and -j 2 in one process, against text2image (Debian: tesseract-ocr) and
# pango-view (Debian: pango1.0-tools) run once per line, as line trainers call them, for the same lines
# and font. Prints lines per second (oftool's: the median of three runs each), wall and CPU time and peak memory side by side, measured in one
# run, the ratios, the peak memory at 1x and 4x the samples, and (bench_composeline) the share of PNG
# encoding. Checks first that -j 2 writes -j 1's bytes. A tool that is not installed is left out;
# nothing is installed here (scripts/setup.sh tesseract-ocr pango1.0-tools does). Asserts no timing.
# Usage: bench/bench_compose.sh BUILD_DIR [lines]    (BENCH_SMOKE=1: one quick pass, to check it works)
set -euo pipefail
build=${1:?build directory}
lines=${2:-4000}
tool_lines=100
rounds=3
if [ -n "${BENCH_SMOKE:-}" ]; then
    lines=200
    tool_lines=3
    rounds=1
fi
oftool="$build/software/oftool/oftool"
work=$(mktemp -d "$(cd "$build" && pwd)/bench_compose.XXXXXX")
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

source "$(dirname "$0")/compose_input.sh"
make_compose_input "$oftool" "$work" "$lines"

# Runs a command; prints "wall cpu peakKB".
measure() {
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null 2>&1 || true
    read -r wall user sys peak < <(tail -n 1 "$work/time")
    echo "$wall $(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }') $peak"
}

compose() { # DIR JOBS COUNT
    echo "$oftool" compose "$work/sans.of" --text "$work/lines.txt" --count "$3" --seed 1 -j "$2" --output "$1"
}

$(compose "$work/check1" 1 "$lines") 2>/dev/null
$(compose "$work/check2" 2 "$lines") 2>/dev/null
if ! diff -r -q "$work/check1" "$work/check2" >/dev/null; then
    echo "bench_compose: -j 2 wrote other bytes than -j 1" >&2
    exit 1
fi
# Kept until the end: ext4 without a journal passes over the inodes freed in the last seconds one by one
# when it makes a file, so that removing thousands of files just before a run slows the run's own.

# text2image and pango-view once per line, into files of their own.
cat > "$work/per_line.sh" <<'SCRIPT'
#!/usr/bin/env bash
set -u
tool=$1 lines=$2 count=$3 out=$4
mkdir -p "$out"
cd "$out" # text2image leaves a fonts.conf in the current directory
head -n "$count" "$lines" | while IFS= read -r line; do
    i=$((${i:-0} + 1))
    if [ "$tool" = text2image ]; then
        printf '%s\n' "$line" > "$out/$i.txt"
        text2image --text="$out/$i.txt" --outputbase="$out/$i" --font="DejaVu Sans" \
            --fonts_dir=/usr/share/fonts/truetype/dejavu --ptsize=24 --resolution=96 --xsize=800 --ysize=64 --margin=8
    else
        pango-view --font="DejaVu Sans 24" --dpi=96 -q -o "$out/$i.png" --text="$line"
        printf '%s\n' "$line" > "$out/$i.gt.txt"
    fi
done
SCRIPT
chmod +x "$work/per_line.sh"

rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.0f", (s > 0 ? n / s : 0) }'; }
row() { # NAME LINES "wall cpu peak"
    read -r wall cpu peak <<<"$3"
    printf "%-28s %9s %9s %9s %9s\n" "$1" "$(rate "$2" "$wall")" "$wall" "$cpu" "$((peak / 1024))"
}

echo "$lines forty-character lines at 32 px, DejaVu Sans, grey PNG + gt.txt + metadata.jsonl, $(nproc) processors," \
     "load average $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine slows every figure):"
printf "%-28s %9s %9s %9s %9s\n" "" "lines/s" "wall s" "CPU s" "peak MB"
# -j 1 and -j 2 in turn, three times, each row the run of median wall time: the kernel's cost of making
# a file drifts by half within a minute here (ext4 without a journal skips recently freed inodes).
for round in $(seq "$rounds"); do
    for jobs in 1 2; do
        measure $(compose "$work/j$jobs-$round" "$jobs" "$lines") >> "$work/runs$jobs"
    done
done
median() { sort -n "$1" | sed -n "$(( (rounds + 1) / 2 ))p"; }
j1=$(median "$work/runs1")
row "oftool compose -j 1" "$lines" "$j1"
j2=$(median "$work/runs2")
row "oftool compose -j 2" "$lines" "$j2"
ratios="-j 2 / -j 1: $(awk -v a="${j1%% *}" -v b="${j2%% *}" 'BEGIN { printf "%.2fx", a / b }')"
for tool in text2image pango-view; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool: not installed, left out"
        continue
    fi
    times=$(measure "$work/per_line.sh" "$tool" "$work/lines.txt" "$tool_lines" "$work/$tool")
    row "$tool (a process a line)" "$tool_lines" "$times"
    ratios="$ratios; -j 2 / $tool: $(awk -v n="$lines" -v a="${j2%% *}" -v m="$tool_lines" -v b="${times%% *}" \
        'BEGIN { printf "%.0fx", (n / a) / (m / b) }')"
done
echo "lines per second, $ratios"
j2x4=$(measure $(compose "$work/x4" 2 $((4 * lines))))
echo "peak memory, -j 2: $(( $(echo "$j2" | cut -d' ' -f3) / 1024 )) MB for $lines samples," \
     "$(( $(echo "$j2x4" | cut -d' ' -f3) / 1024 )) MB for $((4 * lines))"
"$build/bench/bench_composeline" "$work/sans.of" "$work/lines.txt"
