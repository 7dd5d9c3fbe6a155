#!/usr/bin/env bash
# Records where the Velmora program lives, so that the filter plug-in VelmoraPlugin.8bf can start it.
# The plug-in reads the entry "SOFTWARE\Brellix\Photo Plugins\Velmora=<program path>" from
#   $XDG_CONFIG_HOME/Velmora/plugins.conf            (per user; default ~/.config/Velmora/plugins.conf)
#   <first folder of $XDG_CONFIG_DIRS>/Velmora/plugins.conf   (system-wide; default /etc/xdg/Velmora/plugins.conf)
# and prefers the user's file. Other lines of the file are kept.
#
# Usage: install-plugin.sh [--user | --system] <program path>
#   --user    write the per-user file (the default when not run as root)
#   --system  write the system-wide file (the default when run as root)
set -euo pipefail

key='SOFTWARE\Brellix\Photo Plugins\Velmora'
scope=""
if [[ "${1:-}" == "--user" || "${1:-}" == "--system" ]]; then
  scope="${1#--}"
  shift
fi
if [[ $# -ne 1 ]]; then
  echo "usage: $(basename "$0") [--user | --system] <program path>" >&2
  exit 2
fi
if [[ -z "$scope" ]]; then
  if [[ "$(id -u)" -eq 0 ]]; then scope=system; else scope=user; fi
fi

program="$(realpath -s -- "$1" 2>/dev/null || true)"
if [[ -z "$program" || ! -f "$program" || ! -x "$program" ]]; then
  echo "$(basename "$0"): not an executable program: $1" >&2
  exit 1
fi
# The plug-in reads at most 1023 bytes of path.
if [[ $(printf '%s' "$program" | wc -c) -gt 1023 ]]; then
  echo "$(basename "$0"): program path longer than 1023 bytes" >&2
  exit 1
fi
if [[ "$program" == *$'\n'* ]]; then
  echo "$(basename "$0"): program path contains a line break" >&2
  exit 1
fi

if [[ "$scope" == user ]]; then
  folder="${XDG_CONFIG_HOME:-}"
  [[ "$folder" == /* ]] || folder="$HOME/.config"
else
  folder="${XDG_CONFIG_DIRS:-/etc/xdg}"
  folder="${folder%%:*}"
  [[ "$folder" == /* ]] || folder=/etc/xdg
fi
file="$folder/Velmora/plugins.conf"
mkdir -p "$(dirname "$file")"

# Keep every other line; the key compares without regard to case, as the plug-in reads it.
temporary="$(mktemp "$file.XXXXXX")"
trap 'rm -f "$temporary"' EXIT
if [[ -f "$file" ]]; then
  lower_key="${key,,}"
  while IFS= read -r line || [[ -n "$line" ]]; do
    name="${line%%=*}"
    name="${name%$'\r'}"
    if [[ "$line" == *=* ]]; then
      trimmed="$(printf '%s' "$name" | sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//')"
      [[ "${trimmed,,}" == "$lower_key" ]] && continue
    fi
    printf '%s\n' "$line"
  done < "$file" > "$temporary"
fi
printf '%s=%s\n' "$key" "$program" >> "$temporary"
chmod 644 "$temporary"
mv -f "$temporary" "$file"
trap - EXIT
echo "$file"
