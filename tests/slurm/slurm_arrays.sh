#!/usr/bin/env bash
# A render batch and a compose batch as 4-task Slurm array jobs (scripts/render-array.sbatch and
# scripts/compose-array.sbatch, as the README shows them) on a cluster of this machine alone, each
# compared byte for byte with the same batch unsharded. Fails, with the reason, when Slurm cannot start.
set -euo pipefail
oftool=$1
source_dir=$2

# The README shows the scripts the test runs, line for line.
for script in "$source_dir"/scripts/render-array.sbatch "$source_dir"/scripts/compose-array.sbatch; do
    while IFS= read -r line; do
        grep -qxF -- "    $line" "$source_dir/README.md" || { echo "README.md does not show this line of $script: $line" >&2; exit 1; }
    done <"$script"
done

work=$(mktemp -d /tmp/qmf-slurm.XXXXXX)
trap '"$source_dir/scripts/slurm-local.sh" stop "$work/cluster" 2>/dev/null || true; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
mkdir -p "$work/fonts" "$work/run"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf /usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf \
   /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$work/fonts/"
export PATH=$(dirname "$oftool"):$PATH QT_QPA_PLATFORM=offscreen

# The unsharded runs, moved aside so that the sharded ones write the same paths into their records.
export FONTS=$work/fonts SIZES=8-20/4 OUT=$work/run/dataset
oftool render --font-dir "$FONTS" --size "$SIZES" --skip-incomplete -j 1 --output "$OUT/" --manifest "$OUT/fonts.jsonl" >/dev/null
mv "$OUT" "$work/reference"
oftool render --font-dir "$FONTS" --px 12 --chars 32,97-122 --output "$work/ofs/" >/dev/null
printf 'the quick brown fox\njumps over\nthe lazy dog\n' >"$work/corpus.txt"
compose_env="FONTS=$work/ofs TEXT=$work/corpus.txt COUNT=30 OUT=$work/run/lines"
env $compose_env bash -c 'oftool compose "$FONTS"/*.of --text "$TEXT" --count "$COUNT" --seed 1 -j 1 --output "$OUT"' >/dev/null 2>&1
mv "$work/run/lines" "$work/reference-lines"

"$source_dir/scripts/slurm-local.sh" start "$work/cluster" >/dev/null
export SLURM_CONF=$work/cluster/slurm.conf
# Both arrays at once: sbatch --wait polls at 2, 4, 8... seconds, which is most of an array's time here.
(cd "$work/run" && exec timeout 120 sbatch --array=0-3 --wait --quiet "$source_dir/scripts/render-array.sbatch") &
render_job=$!
(cd "$work/run" && exec env $compose_env timeout 120 sbatch --array=0-3 --wait --quiet "$source_dir/scripts/compose-array.sbatch") &
compose_job=$!
for array in render:$render_job compose:$compose_job; do
    status=0
    wait "${array#*:}" || status=$?
    if [ $status -ne 0 ]; then
        echo "the array job of scripts/${array%%:*}-array.sbatch failed ($status):" >&2
        tail -n 5 "$work"/run/${array%%:*}-*.log >&2 || true
        exit 1
    fi
done
"$source_dir/scripts/slurm-local.sh" stop "$work/cluster"

for task in 0 1 2 3; do
    grep -q "^oftool render: shard $task/4: " "$work"/run/render-*_$task.log || { echo "task $task did not do shard $task/4" >&2; exit 1; }
    grep -q "^oftool compose: shard $task/4: " "$work"/run/compose-*_$task.log || { echo "compose task $task did not do shard $task/4" >&2; exit 1; }
done
oftool manifest-merge "$OUT/fonts.jsonl" >/dev/null
rm "$OUT"/fonts.shard-*-of-4.jsonl
diff -r "$work/reference" "$OUT"
oftool manifest-merge "$work/run/lines/metadata.jsonl" >/dev/null
oftool manifest-merge "$work/run/lines/gt.txt" >/dev/null
rm "$work"/run/lines/metadata.shard-*-of-4.jsonl* "$work"/run/lines/gt.shard-*-of-4.txt
diff -r "$work/reference-lines" "$work/run/lines"
echo "12 files and the manifest of 4 shards, and 30 samples and their lists of 4 shards, equal the unsharded runs'"
