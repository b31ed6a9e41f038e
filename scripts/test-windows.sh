#!/usr/bin/env bash
# Builds the Windows programs (scripts/build-windows.sh) and tests them under Wine:
#   1. the core test programs;
#   2. nimbrel-cli.exe replay and replay --parse of simulator files give exactly the Linux
#      program's lines (line ends aside), export --btsnoop the same file, and the Windows
#      simulator writes the same files;
#   3. the settings in the registry: defaults, set, get, list, and the key layout read back
#      with `wine reg query`;
#   4. a serial capture: COM5 mapped to the pseudo-terminal of the Linux simulator's serial
#      side (HKLM\Software\Wine\Ports), captured with nimbrel-cli.exe capture --com COM5.
# The Linux nimbrel-cli comes from $NIMBREL_BUILD_DIR (default build/), built if missing.
# Wine runs in its own prefix in the build folder, quietly and without a display.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${NIMBREL_WINDOWS_BUILD_DIR:-$root/build-windows}"
linux_build="${NIMBREL_BUILD_DIR:-$root/build}"
start=$SECONDS

NIMBREL_WINDOWS_BUILD_DIR="$build" "$root/scripts/build-windows.sh" "$@"
if [ ! -x "$linux_build/bin/nimbrel-cli" ]; then
  NIMBREL_BUILD_DIR="$linux_build" NIMBREL_DEPS=build "$root/scripts/build.sh" >/dev/null
fi
linux_cli="$linux_build/bin/nimbrel-cli"
bin="$build/bin"
built=$SECONDS

export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
export NIMBREL_TRACE=0
wine=(wine)
command -v wine >/dev/null || wine=(/usr/lib/wine/wine64)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== Creating the Wine prefix $WINEPREFIX"
  "${wine[@]}" wineboot --init >/dev/null 2>&1
  wineserver -w
fi
work="$(mktemp -d "${TMPDIR:-/tmp}/nimbrel-windows-test.XXXXXX")"
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

failures=()
passed=0
check() {  # check NAME COMMAND...: runs a check, counts it
  local name="$1"
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok   $name"
  else
    failures+=("$name")
    echo "FAIL $name"
  fi
}

# 1. The core test programs.
for t in "$bin"/test_*.exe; do
  check "$(basename "$t" .exe)" "${wine[@]}" "$t" --gtest_brief=1
done

# 2. Replay equals the Linux program's output on simulator files of several seeds and sizes.
win_path() { "${wine[@]}" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
replay_matches() {
  local raw="$1" parse=()
  [ "$2" = parse ] && parse=(--parse)
  "$linux_cli" replay --color never --defs "$root/data/LOG1.h" "${parse[@]}" "$raw" \
    >"$work/linux.txt" 2>"$work/linux.err" || return 1
  "${wine[@]}" "$bin/nimbrel-cli.exe" replay --color never --defs "$(win_path "$root/data/LOG1.h")" \
    "${parse[@]}" "$(win_path "$raw")" >"$work/windows.txt" 2>"$work/windows.err" || return 1
  tr -d '\r' <"$work/windows.txt" >"$work/windows.lf.txt"
  [ -s "$work/linux.txt" ] && cmp -s "$work/linux.txt" "$work/windows.lf.txt" ||
    { diff "$work/linux.txt" "$work/windows.lf.txt" | head -5; return 1; }
}
# The btsnoop export of both programs, byte for byte. Their stamps are converted from local
# time to UTC: a zone with daylight saving time that both C libraries read from TZ (the
# Windows one knows no zone names such as Europe/Berlin).
export_matches() {
  local raw="$1"
  TZ=EST5EDT "$linux_cli" export --btsnoop "$work/linux.btsnoop" --defs "$root/data/LOG1.h" \
    "$raw" 2>"$work/linux.err" || return 1
  TZ=EST5EDT "${wine[@]}" "$bin/nimbrel-cli.exe" export --btsnoop "$(win_path "$work/windows.btsnoop")" \
    --defs "$(win_path "$root/data/LOG1.h")" "$(win_path "$raw")" 2>"$work/windows.err" || return 1
  [ -s "$work/linux.btsnoop" ] && cmp "$work/linux.btsnoop" "$work/windows.btsnoop"
}
for run in 1:200 7:5000 42:20000; do
  seed="${run%%:*}"
  records="${run##*:}"
  raw="$work/raw_$seed.log"
  "$linux_cli" simulate --raw-file "$raw" --records "$records" --seed "$seed"
  check "simulate --raw-file seed $seed writes the same file on Windows" bash -c \
    "\"\$@\" simulate --raw-file '$(win_path "$work/win_$seed.log")' --records $records --seed $seed &&
     cmp -s '$raw' '$work/win_$seed.log'" _ "${wine[@]}" "$bin/nimbrel-cli.exe"
  check "replay seed $seed, $records records, equals Linux" replay_matches "$raw" plain
  check "replay --parse seed $seed equals Linux" replay_matches "$raw" parse
  check "export --btsnoop seed $seed equals Linux" export_matches "$raw"
done

# 3. Settings in the registry.
key='HKCU\Software\Corvane\Bluetooth\Nimbrel'
profile='HKCU\Software\Local AppWizard-Generated Applications\Nimbrel\Workspace'
cli() { "${wine[@]}" "$bin/nimbrel-cli.exe" "$@" 2>&1 | tr -d '\r'; }
reg_value() {  # reg_value KEY NAME: "TYPE DATA" of a value
  "${wine[@]}" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v n="$2" '$1 == n { $1 = ""; sub(/^ +/, ""); print }'
}
"${wine[@]}" reg delete 'HKCU\Software\Corvane' /f >/dev/null 2>&1 || true
"${wine[@]}" reg delete 'HKCU\Software\Local AppWizard-Generated Applications' /f >/dev/null 2>&1 || true
check "settings: defaults without a key" test "$(cli settings get Com) $(cli settings get BaudRate) $(cli settings get PrintRawData)" = "COM1 115200 0"
check "settings: reading creates no key" bash -c "! \"\$@\" reg query '$key' >/dev/null 2>&1" _ "${wine[@]}"
cli settings set Com COM7 >/dev/null
cli settings set BaudRate 921600 >/dev/null
cli settings set Log1Path 'C:\defs\LOG1.h' >/dev/null
cli settings set ApplicationLook 216 >/dev/null
check "settings: set values read back" test "$(cli settings get Com) $(cli settings get BaudRate) $(cli settings get Log1Path) $(cli settings get ApplicationLook)" = 'COM7 921600 C:\defs\LOG1.h 216'
check "settings: Com is REG_SZ in the settings key" test "$(reg_value "$key" Com)" = "REG_SZ COM7"
check "settings: BaudRate is REG_DWORD" test "$(reg_value "$key" BaudRate)" = "REG_DWORD 0xe1000"
check "settings: Log1Path is REG_SZ" test "$(reg_value "$key" Log1Path)" = 'REG_SZ C:\defs\LOG1.h'
check "settings: ApplicationLook in the framework profile" test "$(reg_value "$profile" ApplicationLook)" = "REG_DWORD 0xd8"
check "settings: list names the key and the values" bash -c \
  "out=\"\$(\"\$@\" \"$bin/nimbrel-cli.exe\" settings list 2>&1 | tr -d '\r')\" &&
   grep -q 'Settings key: HKEY_CURRENT_USER.SOFTWARE.Corvane.Bluetooth.Nimbrel' <<<\"\$out\" &&
   grep -Eq '^  Com +COM7' <<<\"\$out\" && grep -Eq '^  BaudRate +921600' <<<\"\$out\" &&
   grep -Eq '^  PrintRawData +0 +\(default\)' <<<\"\$out\"" _ "${wine[@]}"
"${wine[@]}" reg add "$key" /v Com /t REG_SZ /d "" /f >/dev/null
check "settings: a stored empty Com reads as empty" test "$(cli settings get Com)" = ""
"${wine[@]}" reg delete 'HKCU\Software\Corvane' /f >/dev/null 2>&1 || true
"${wine[@]}" reg delete 'HKCU\Software\Local AppWizard-Generated Applications' /f >/dev/null 2>&1 || true

# 4. COM capture from the Linux simulator's pseudo-terminal through Wine's COM5.
records=3000
"$linux_cli" simulate --serial --records "$records" --rate 1500 --seed 5 >"$work/pty" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 50); do [ -s "$work/pty" ] && break; sleep 0.1; done
pty="$(head -n 1 "$work/pty")"
"${wine[@]}" reg add 'HKLM\Software\Wine\Ports' /v COM5 /t REG_SZ /d "$pty" /f >/dev/null
# Wine makes its COM devices from that key when it starts.
wineserver -k || true
wineserver -w
"${wine[@]}" "$bin/nimbrel-cli.exe" capture --com COM5 --baud 115200 --color never \
  --defs "$(win_path "$root/data/LOG1.h")" --duration 8 >"$work/capture.txt" 2>"$work/capture.err" || true
wait "$sim_pid" || true
sim_pid=""
"${wine[@]}" reg delete 'HKLM\Software\Wine\Ports' /v COM5 /f >/dev/null 2>&1 || true
lines="$(tr -d '\r' <"$work/capture.txt" | grep -c '\[COM\] ' || true)"
check "capture --com COM5: all $records records arrive ($lines lines)" \
  grep -q "Capture ended: $records records framed, 0 bytes skipped as noise, 0 bytes lost" "$work/capture.err"
check "capture --com COM5: one line per record" test "$lines" = "$records"

echo "== Windows tests: $passed passed, ${#failures[@]} failed (build $((built - start)) s, Wine runs $((SECONDS - built)) s)"
if [ ${#failures[@]} -gt 0 ]; then
  printf 'failed: %s\n' "${failures[@]}" >&2
  [ -f "$work/capture.err" ] && tail -n 5 "$work/capture.err" >&2
  exit 1
fi
