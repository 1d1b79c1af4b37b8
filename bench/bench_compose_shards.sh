#!/usr/bin/env bash
# Forty-character lines at 32 px from DejaVu Sans (grey PNG, gt.txt, metadata.jsonl), composed whole and in
# 4 shards (--shard I/4, -j 1 each): the shards one after another and all four at once, against the
# unsharded run with -j 1 and -j 2. Checks first that the shards' files and merged lists are the unsharded
# run's bytes. Prints wall and CPU time side by side and the ratios. Asserts no timing.
# Usage: bench/bench_compose_shards.sh BUILD_DIR [lines]
set -euo pipefail
build=${1:?build directory}
lines=${2:-4000}
oftool="$build/software/oftool/oftool"
work=$(mktemp -d "$(cd "$build" && pwd)/bench_shards.XXXXXX")
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
unset SLURM_ARRAY_TASK_ID JOB_COMPLETION_INDEX

source "$(dirname "$0")/compose_input.sh"
make_compose_input "$oftool" "$work" "$lines"

compose() { # DIR JOBS [--shard I/4]
    local dir=$1 jobs=$2
    shift 2
    "$oftool" compose "$work/sans.of" --text "$work/lines.txt" --count "$lines" --seed 1 -j "$jobs" --output "$dir" "$@" >/dev/null 2>&1
}
# Runs a shell function; prints "wall cpu" in seconds.
measure() {
    /usr/bin/time -f "%e %U %S" -o "$work/time" bash -c "$1"
    read -r wall user sys < <(tail -n 1 "$work/time")
    echo "$wall $(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')"
}
sequential() { for i in 0 1 2 3; do compose "$work/seq" 1 --shard "$i/4"; done; }
together() {
    local pids=()
    for i in 0 1 2 3; do compose "$work/par" 1 --shard "$i/4" & pids+=($!); done
    for pid in "${pids[@]}"; do wait "$pid"; done
}
export oftool work lines
export -f compose sequential together

read -r w1 c1 < <(measure 'compose "$work/whole1" 1')
read -r w2 c2 < <(measure 'compose "$work/whole2" 2')
read -r ws cs < <(measure sequential)
read -r wp cp < <(measure together)
for dir in seq par; do
    "$oftool" manifest-merge "$work/$dir/metadata.jsonl" >/dev/null
    "$oftool" manifest-merge "$work/$dir/gt.txt" >/dev/null
    rm "$work/$dir"/metadata.shard-* "$work/$dir"/gt.shard-*
    if ! diff -r -q "$work/whole1" "$work/$dir" >/dev/null; then
        echo "bench_compose_shards: the shards ($dir) wrote other bytes than the unsharded run" >&2
        exit 1
    fi
done

printf '%-40s %8s %8s %10s\n' "$lines samples" "wall s" "CPU s" "lines/s"
row() { printf '%-40s %8s %8s %10.0f\n' "$1" "$2" "$3" "$(awk -v n="$lines" -v w="$2" 'BEGIN { print n / w }')"; }
row "unsharded -j 1" "$w1" "$c1"
row "unsharded -j 2" "$w2" "$c2"
row "4 shards -j 1, one after another" "$ws" "$cs"
row "4 shards -j 1, all at once" "$wp" "$cp"
awk -v w1="$w1" -v w2="$w2" -v ws="$ws" -v wp="$wp" 'BEGIN {
    printf "wall time against unsharded -j 1: one after another %.2f, all at once %.2f; against -j 2: %.2f, %.2f\n", ws / w1, wp / w1, ws / w2, wp / w2
}'
