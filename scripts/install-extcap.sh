#!/usr/bin/env bash
# Makes Wireshark find Nimbrel's capture interfaces for the current user: puts a link named
# nimbrel-extcap to nimbrel-cli into the user's personal extcap folder. Under that name
# nimbrel-cli answers Wireshark as its extcap program (see 'nimbrel-cli extcap --help').
#
#   scripts/install-extcap.sh [--remove] [NIMBREL_CLI]
#
# NIMBREL_CLI defaults to the nimbrel-cli in PATH, else the one of this build tree.
# The Debian package installs the same link into Wireshark's system-wide folder itself.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
remove=false
if [ "${1:-}" = --remove ]; then
  remove=true
  shift
fi
case "${1:-}" in -h | --help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac

cli="${1:-}"
if [ -z "$cli" ]; then
  cli="$(command -v nimbrel-cli || true)"
  [ -n "$cli" ] || cli="${NIMBREL_BUILD_DIR:-$root/build}/bin/nimbrel-cli"
fi
if ! $remove; then
  [ -x "$cli" ] || { echo "install-extcap: no nimbrel-cli at $cli: build it first, or name it" >&2; exit 1; }
  cli="$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")"
fi

# Wireshark 4.2 and later name their personal extcap folder; earlier versions look in the
# personal configuration folder. Without tshark to ask, both are served.
folders=()
if command -v tshark >/dev/null 2>&1; then
  info="$(tshark -G folders 2>/dev/null || true)"
  personal="$(sed -n 's/^Personal Extcap path:[[:space:]]*//p' <<<"$info" | head -n 1)"
  if [ -z "$personal" ]; then
    config="$(sed -n 's/^Personal configuration:[[:space:]]*//p' <<<"$info" | head -n 1)"
    [ -n "$config" ] && personal="$config/extcap"
  fi
  [ -n "$personal" ] && folders+=("$personal")
fi
if [ ${#folders[@]} -eq 0 ]; then
  folders+=("${XDG_CONFIG_HOME:-$HOME/.config}/wireshark/extcap" "$HOME/.local/lib/wireshark/extcap")
fi

for folder in "${folders[@]}"; do
  link="$folder/nimbrel-extcap"
  if $remove; then
    [ -L "$link" ] && rm -f "$link" && echo "Removed $link"
    continue
  fi
  mkdir -p "$folder"
  ln -sfn "$cli" "$link"
  echo "Linked $link -> $cli"
done
$remove || echo "Restart Wireshark; the interfaces nimbrel-com, nimbrel-filter and nimbrel-uart appear in its list."
