#!/usr/bin/env bash
# Installs the build tree into a temporary DESTDIR and runs the installed nimbrel-cli with
# a temporary HOME: its program folder must be ~/.local/share/nimbrel, seeded with the
# installed LOG1.h and used for the default definitions and fwconfig.ini.
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; fail "cmake --install failed"; }
root="$work/root/usr"
for f in bin/nimbrel-cli share/nimbrel/LOG1.h share/applications/org.corvane.Nimbrel.desktop \
         share/metainfo/org.corvane.Nimbrel.metainfo.xml share/mime/packages/nimbrel.xml \
         share/icons/hicolor/scalable/apps/org.corvane.Nimbrel.svg \
         share/icons/hicolor/48x48/apps/org.corvane.Nimbrel.png \
         share/man/man1/nimbrel.1.gz share/man/man1/nimbrel-cli.1.gz \
         share/bash-completion/completions/nimbrel-cli share/doc/nimbrel/copyright; do
  [ -f "$root/$f" ] || fail "$f is not installed"
done
if [ -x "$build/bin/nimbrel" ]; then
  [ -x "$root/bin/nimbrel" ] || fail "the GUI is built but not installed"
fi

cli="$root/bin/nimbrel-cli"
run() { env -u NIMBREL_HOME -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$work/home" "$cli" "$@"; }
mkdir -p "$work/home"
"$cli" --version | grep -q "Nimbrel, Version" || fail "--version"
run simulate --raw-file "$work/raw.log" --records 50 --seed 4 || fail "simulate"
run replay --color never "$work/raw.log" >"$work/out.txt" 2>"$work/err.txt" || { cat "$work/err.txt" >&2; fail "replay"; }
[ "$(wc -l <"$work/out.txt")" -eq 50 ] || fail "replay printed $(wc -l <"$work/out.txt") lines, not 50"
folder="$work/home/.local/share/nimbrel"
cmp -s "$folder/LOG1.h" "$root/share/nimbrel/LOG1.h" || fail "the program folder was not seeded with LOG1.h"

# A file the user changed stays; one the user deleted comes back at the next start.
echo '#define X 1 //"mine"' >"$folder/LOG1.h"
run replay "$work/raw.log" >/dev/null 2>&1 || true
grep -q mine "$folder/LOG1.h" || fail "the user's LOG1.h was overwritten"
if run settings list >"$work/settings.txt" 2>&1; then
  grep -q "Program settings, read-only: $folder/fwconfig.ini" "$work/settings.txt" ||
    { cat "$work/settings.txt" >&2; fail "fwconfig.ini is not looked for in the program folder"; }
fi
# NIMBREL_HOME still wins.
mkdir -p "$work/mine"
cp "$root/share/nimbrel/LOG1.h" "$work/mine/"
env HOME="$work/home2" NIMBREL_HOME="$work/mine" "$cli" replay "$work/raw.log" >/dev/null 2>&1 ||
  fail "replay with NIMBREL_HOME"
[ ! -e "$work/home2/.local/share/nimbrel" ] || fail "NIMBREL_HOME did not override the per-user folder"
# Wireshark's system-wide extcap folder holds a relative link to nimbrel-cli, under whose
# name the program answers Wireshark; the personal link of scripts/install-extcap.sh too.
extcap="$(find "$root/lib" -path '*/wireshark/extcap/nimbrel-extcap' | head -n 1)"
[ -L "$extcap" ] || fail "no nimbrel-extcap link in Wireshark's extcap folder"
[ "$(readlink -f "$extcap")" = "$(readlink -f "$cli")" ] || fail "nimbrel-extcap does not lead to nimbrel-cli"
case "$(readlink "$extcap")" in /*) fail "the extcap link is absolute" ;; esac
"$extcap" --extcap-interfaces | grep -q "interface {value=nimbrel-com}" || fail "nimbrel-extcap --extcap-interfaces"
env -u XDG_CONFIG_HOME HOME="$work/home3" "$(dirname "$0")/../../scripts/install-extcap.sh" "$cli" >/dev/null ||
  fail "install-extcap.sh"
personal="$(find "$work/home3" -path '*/wireshark/extcap/nimbrel-extcap' | head -n 1)"
[ -n "$personal" ] && [ "$(readlink "$personal")" = "$cli" ] ||
  fail "install-extcap.sh did not link a personal extcap folder"
echo "installed layout and program folder ok"
