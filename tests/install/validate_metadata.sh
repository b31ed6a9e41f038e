#!/usr/bin/env bash
# Validates the desktop entry, the AppStream metainfo, the file type and the man pages with
# the tools that are installed; exits 77 (skipped) when none of them is.
set -uo pipefail
src="$1"
ran=0 failed=0
check() {
  local tool="$1"; shift
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed"
    return
  fi
  ran=1
  if out="$("$@" 2>&1)"; then
    echo "ok: $*"
  else
    echo "FAIL: $*"; echo "$out"; failed=1
  fi
}
check desktop-file-validate desktop-file-validate "$src/data/desktop/org.corvane.Nimbrel.desktop"
check appstreamcli appstreamcli validate --no-net "$src/data/desktop/org.corvane.Nimbrel.metainfo.xml"
check xmllint xmllint --noout "$src/data/desktop/nimbrel-mime.xml"
# The file type compiles into a mime database.
mime="$(mktemp -d)"
trap 'rm -rf "$mime"' EXIT
mkdir -p "$mime/packages"
cp "$src/data/desktop/nimbrel-mime.xml" "$mime/packages/nimbrel.xml"
check update-mime-database env XDG_DATA_DIRS="$mime/.." update-mime-database "$mime"
if [ -f "$mime/globs2" ]; then
  grep -qix '60:application/x-nimbrel-raw-data:rawdata_\*\.log' "$mime/globs2" ||
    { echo "FAIL: the raw data file glob is not in the database"; failed=1; }
  grep -qa 'application/x-nimbrel-raw-data' "$mime/magic" ||
    { echo "FAIL: the raw data file magic is not in the database"; failed=1; }
fi
for page in nimbrel nimbrel-cli; do
  if command -v man >/dev/null; then
    ran=1
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$src/docs/$page.1" 2>&1 >/dev/null)"
    if [ -n "$warnings" ]; then echo "FAIL: man page $page"; echo "$warnings"; failed=1; else echo "ok: man $page"; fi
  fi
done
[ "$ran" = 1 ] || { echo "no validation tool is installed"; exit 77; }
exit "$failed"
