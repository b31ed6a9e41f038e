#!/usr/bin/env bash
# Serves simulated records through the filter driver's device as fast as the capture reads
# them and captures them with raw data saving on; prints the sustained records per second
# over the device bridge and whether anything was lost.
#   [SAVE_RAW=0] bench/driver_capture.sh [BUILD_DIR] [RECORDS] [filter|uart]
set -euo pipefail
build="${1:-$(cd "$(dirname "$0")/.." && pwd)/build}"
records="${2:-200000}"
kind="${3:-filter}"
cli="$build/bin/nimbrel-cli"
[ -x "$cli" ] || { echo "no $cli: build first (scripts/build.sh)" >&2; exit 1; }
work="$(mktemp -d)"
sim="" cap=""
trap 'kill "$sim" "$cap" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$build/bin/LOG1.h" "$work/"
export NIMBREL_DEVICE_DIR="$work/dev" NIMBREL_BT_CLASS_DIR="$work/bt" NIMBREL_HOME="$work"

"$cli" simulate --driver "$kind" --rate 0 --records "$records" --seed 1 --radio-dir "$work/bt" \
  --request-log "$work/requests" > "$work/socket" 2> "$work/sim.err" &
sim=$!
for _ in $(seq 100); do [ -s "$work/socket" ] && break; sleep 0.05; done

# SAVE_RAW=0 leaves raw data saving off.
raw=(--save-raw)
[ "${SAVE_RAW:-1}" = 0 ] && raw=()
start=$(date +%s.%N)
"$cli" capture "--$kind-driver" "${raw[@]}" --color never > "$work/lines" 2> "$work/capture.err" &
cap=$!
# The capture runs until stopped: stop it once every record has become a line.
while [ "$(wc -l < "$work/lines")" -lt "$records" ]; do
  kill -0 "$cap" 2>/dev/null || break
  sleep 0.02
done
end=$(date +%s.%N)
kill -INT "$cap"
wait "$cap" || true
got=$(wc -l < "$work/lines")
awk -v n="$got" -v want="$records" -v s="$start" -v e="$end" -v raw="${#raw[@]}" 'BEGIN {
  printf "records served:    %d\nrecord lines:      %d\n", want, n
  printf "sustained rate:    %.0f records per second (driver capture, raw data saving %s)\n", n / (e - s), raw ? "on" : "off"
}'
grep -E "Capture ended" "$work/capture.err" || true
grep -E "close after" "$work/requests" | head -1 || true
