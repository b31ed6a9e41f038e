#!/usr/bin/env bash
# Builds Nimbrel and runs it on the simulated controller: the simulator streams a realistic
# firmware log into a pseudo-terminal and Nimbrel captures it live, decoding HCI and LMP
# records. With a display ($DISPLAY or $WAYLAND_DISPLAY) the window shows it until it is
# closed; without one the terminal does, until Ctrl-C (or for NIMBREL_DEMO_SECONDS seconds
# when set).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${NIMBREL_BUILD_DIR:-$root/build}"
NIMBREL_BUILD_DIR="$build" "$root/scripts/build.sh"
cli="$build/bin/nimbrel-cli"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/bin/nimbrel" ]; then
  exec "$build/bin/nimbrel" --demo --rate "${NIMBREL_DEMO_RATE:-50}"
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): showing the demo in the terminal." >&2
else
  echo "The window was not built (Qt 6 missing): showing the demo in the terminal." >&2
fi

work="$(mktemp -d)"
sim=""
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$cli" simulate --serial --rate "${NIMBREL_DEMO_RATE:-50}" > "$work/pty" &
sim=$!
for _ in $(seq 100); do [ -s "$work/pty" ] && break; sleep 0.05; done
port=$(head -n 1 "$work/pty")
echo "Simulated controller on $port; capturing (Ctrl-C to stop)" >&2

duration=()
[ -n "${NIMBREL_DEMO_SECONDS:-}" ] && duration=(--duration "$NIMBREL_DEMO_SECONDS")
"$cli" capture --com "$port" --parse --defs "$build/bin/LOG1.h" "${duration[@]}"
