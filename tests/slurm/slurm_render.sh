#!/usr/bin/env bash
# A render batch as a 4-task Slurm array job (scripts/render-array.sbatch, as the README shows it) on a
# cluster of this machine alone, compared byte for byte with the same batch unsharded. Fails, with the
# reason, when Slurm cannot start.
set -euo pipefail
oftool=$1
source_dir=$2
script=$source_dir/scripts/render-array.sbatch

# The README shows the script the test runs, line for line.
while IFS= read -r line; do
    grep -qxF -- "    $line" "$source_dir/README.md" || { echo "README.md does not show this line of $script: $line" >&2; exit 1; }
done <"$script"

work=$(mktemp -d /tmp/qmf-slurm.XXXXXX)
trap '"$source_dir/scripts/slurm-local.sh" stop "$work/cluster" 2>/dev/null || true; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
mkdir -p "$work/fonts" "$work/run"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf /usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf \
   /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$work/fonts/"
export FONTS=$work/fonts SIZES=8-20/4 OUT=$work/run/dataset
export PATH=$(dirname "$oftool"):$PATH QT_QPA_PLATFORM=offscreen

# The unsharded run, moved aside so that the sharded one writes the same paths into its manifest.
oftool render --font-dir "$FONTS" --size "$SIZES" --skip-incomplete -j 1 --output "$OUT/" --manifest "$OUT/fonts.jsonl" >/dev/null
mv "$OUT" "$work/reference"

"$source_dir/scripts/slurm-local.sh" start "$work/cluster" >/dev/null
export SLURM_CONF=$work/cluster/slurm.conf
status=0
(cd "$work/run" && timeout 120 sbatch --array=0-3 --wait --quiet "$script") || status=$?
if [ $status -ne 0 ]; then
    echo "the array job failed ($status):" >&2
    tail -n 5 "$work"/run/render-*.log >&2 || true
    exit 1
fi
"$source_dir/scripts/slurm-local.sh" stop "$work/cluster"

for task in 0 1 2 3; do
    grep -q "^oftool render: shard $task/4: " "$work"/run/render-*_$task.log || { echo "task $task did not do shard $task/4" >&2; exit 1; }
done
oftool manifest-merge "$OUT/fonts.jsonl" >/dev/null
rm "$OUT"/fonts.shard-*-of-4.jsonl
diff -r "$work/reference" "$OUT"
echo "12 files and the manifest of 4 shards equal the unsharded run's"
