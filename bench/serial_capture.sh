#!/usr/bin/env bash
# Streams simulated records through a pseudo-terminal as fast as it takes them and
# captures them with raw data saving on; prints the sustained records per second and
# whether anything was lost.
#   bench/serial_capture.sh [BUILD_DIR] [RECORDS]
set -euo pipefail
build="${1:-$(cd "$(dirname "$0")/.." && pwd)/build}"
records="${2:-100000}"
cli="$build/bin/nimbrel-cli"
[ -x "$cli" ] || { echo "no $cli: build first (scripts/build.sh)" >&2; exit 1; }
work="$(mktemp -d)"
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$build/bin/LOG1.h" "$work/"

"$cli" simulate --serial --rate 0 --records "$records" --seed 1 > "$work/pty" 2> "$work/sim.err" &
sim=$!
for _ in $(seq 100); do [ -s "$work/pty" ] && break; sleep 0.05; done
port=$(head -n 1 "$work/pty")
start=$(date +%s.%N)
NIMBREL_HOME="$work" "$cli" capture --com "$port" --save-raw --color never > "$work/lines" 2> "$work/capture.err"
end=$(date +%s.%N)
wait "$sim" || true
got=$(wc -l < "$work/lines")
awk -v n="$got" -v want="$records" -v s="$start" -v e="$end" 'BEGIN {
  printf "records sent:      %d\nrecord lines:      %d\n", want, n
  printf "sustained rate:    %.0f records per second (capture with raw data saving)\n", n / (e - s)
}'
grep -E "Capture ended" "$work/capture.err" || true
