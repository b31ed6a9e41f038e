#!/usr/bin/env bash
# Exports the HCI packets of a generated 50 MiB raw data file to btsnoop and compares the
# time with replaying the same file to text (the same scan, plus formatting) and with
# reading it with cat. Prints packets per second, the time ratios and the peak memory.
#   bench/export_vs_replay.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build="${1:-$(cd "$(dirname "$0")/.." && pwd)/build}"
runs="${2:-5}"
cli="$build/bin/nimbrel-cli"
[ -x "$cli" ] || { echo "no $cli: build first (scripts/build.sh)" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$cli" simulate --raw-file "$work/raw.log" --records 1000000 --seed 1
size=$(stat -c %s "$work/raw.log")

# shellcheck source=bench/measure.sh
source "$(dirname "$0")/measure.sh"

for _ in $(seq "$runs"); do cat "$work/raw.log" > /dev/null; done  # warm the page cache
: > "$work/export.times"; : > "$work/replay.times"; : > "$work/cat.times"
for _ in $(seq "$runs"); do
  measure "$cli" export --btsnoop "$work/hci.btsnoop" "$work/raw.log" >> "$work/export.times"
  measure "$cli" replay --color never -o "$work/out.txt" "$work/raw.log" >> "$work/replay.times"
  measure cat "$work/raw.log" >> "$work/cat.times"
done
packets=$("$cli" export --btsnoop "$work/hci.btsnoop" "$work/raw.log" 2>&1 | sed -n "s/.*Exported \([0-9]*\) HCI packets.*/\1/p")
column() { awk -v c="$2" '{print $c}' "$work/$1.times" | median; }
awk -v size="$size" -v p="$packets" -v ew="$(column export 1)" -v ec="$(column export 2)" \
    -v rw="$(column replay 1)" -v cw="$(column cat 1)" \
    -v rss="$(awk '{print $3}' "$work/export.times" | sort -n | tail -1)" \
    -v out="$(stat -c %s "$work/hci.btsnoop")" 'BEGIN {
  printf "raw data file:        %.1f MiB, 1000000 records\n", size / 1048576
  printf "export to btsnoop:    %.3f s wall, %.3f s CPU (median), %d packets, %.1f MiB\n", ew, ec, p, out / 1048576
  printf "packets per second:   %.2f million (wall)\n", p / (ew > 0 ? ew : 0.001) / 1e6
  printf "replay to text:       %.3f s wall (median)\n", rw
  printf "export / replay:      %.2f\n", ew / (rw > 0 ? rw : 0.001)
  printf "cat of the same file: %.4f s wall\n", cw
  printf "export / cat:         %.0f x\n", ew / (cw > 0 ? cw : 0.001)
  printf "peak memory:          %.0f MiB resident\n", rss / 1024
}'
