#!/usr/bin/env bash
# Replays a generated 50 MiB raw data file to a text file and compares the time with
# reading the same file with cat. Prints records per second, the time ratio and the peak
# memory of the replay.
#   bench/replay_vs_cat.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build="${1:-$(cd "$(dirname "$0")/.." && pwd)/build}"
runs="${2:-5}"
cli="$build/bin/nimbrel-cli"
[ -x "$cli" ] || { echo "no $cli: build first (scripts/build.sh)" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

records=1000000  # about 50 MiB of stamped records
"$cli" simulate --raw-file "$work/raw.log" --records "$records" --seed 1
size=$(stat -c %s "$work/raw.log")

# shellcheck source=bench/measure.sh
source "$(dirname "$0")/measure.sh"

for _ in $(seq "$runs"); do cat "$work/raw.log" > /dev/null; done  # warm the page cache
: > "$work/replay.times"; : > "$work/cat.times"
for _ in $(seq "$runs"); do
  measure "$cli" replay --color never -o "$work/out.txt" "$work/raw.log" >> "$work/replay.times"
  measure cat "$work/raw.log" >> "$work/cat.times"
done
replay_wall=$(awk '{print $1}' "$work/replay.times" | median)
replay_cpu=$(awk '{print $2}' "$work/replay.times" | median)
replay_rss=$(awk '{print $3}' "$work/replay.times" | sort -n | tail -1)
cat_wall=$(awk '{print $1}' "$work/cat.times" | median)
lines=$(wc -l < "$work/out.txt")

awk -v n="$lines" -v size="$size" -v w="$replay_wall" -v c="$replay_cpu" -v cw="$cat_wall" -v rss="$replay_rss" 'BEGIN {
  printf "raw data file:        %.1f MiB, %d records\n", size / 1048576, n
  printf "replay to a file:     %.3f s wall, %.3f s CPU (median of runs)\n", w, c
  printf "records per second:   %.2f million (CPU time)\n", n / (c > 0 ? c : 0.001) / 1e6
  printf "cat of the same file: %.4f s wall\n", cw
  printf "replay / cat:         %.0f x\n", w / (cw > 0 ? cw : 0.001)
  printf "peak memory:          %.0f MiB resident\n", rss / 1024
}'
