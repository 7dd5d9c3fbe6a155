#!/usr/bin/env bash
# Checks the one-way layering of the source folders: each folder may include only the folders listed
# for it, the windowless folders no Qt Widgets, and only print/ and help/ the printing and network
# modules. Also reports the longest source file and fails when one outside tests/ grows past the limit.
# Usage: scripts/check-layers.sh [ROOT]   (ROOT defaults to the repository)
set -uo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root" || exit 2
max_lines=650

# folder -> project folders it may include (itself always).
declare -A allowed=(
  [bridge]=""
  [core]=""
  [imaging]="core"
  [cutout]="core imaging"
  [inpainting]="core imaging"
  [platform]="bridge core imaging"
  [model]="bridge core imaging cutout platform"
  [framework]="bridge core imaging platform"
  [documents]="bridge core imaging cutout platform model framework"
  [tools]="bridge core imaging cutout inpainting platform model framework documents"
  [demo/script]="core"
  [demo]="bridge core imaging cutout inpainting platform model framework documents tools demo/script"
  [print]="bridge core imaging platform model framework documents"
  [help]="bridge core imaging platform framework"
  [app]="bridge core imaging cutout inpainting platform model framework documents tools demo demo/script print help"
  [plugin]="bridge"
)
# Folders that must build without a window system's widgets.
windowless="bridge core imaging cutout inpainting platform model demo/script plugin"
widget_headers='QApplication|QWidget|QMessageBox|QDialog|QMainWindow|QAbstractButton|QPushButton|QToolButton|QLabel|QSlider|QtWidgets'
print_headers='QPrinter|QPrintDialog|QPrintPreview|QPageSetupDialog|QtPrintSupport'
network_headers='QNetworkAccessManager|QNetworkReply|QNetworkRequest|QtNetwork'

# The layer of a file: demo/script is its own layer, every other file belongs to its top folder.
layer_of() {
  case "$1" in
    demo/script/*) echo "demo/script" ;;
    *) echo "${1%%/*}" ;;
  esac
}

failures=0
fail() {
  echo "layers: $1" >&2
  failures=$((failures + 1))
}

while IFS= read -r file; do
  layer="$(layer_of "$file")"
  [ -n "${allowed[$layer]+x}" ] || continue
  permitted=" $layer ${allowed[$layer]} "
  while IFS= read -r line; do
    number="${line%%:*}"
    target="$(sed -E 's/^[0-9]+:#include "([^"]+)".*/\1/' <<<"$line")"
    [[ "$target" == */* ]] || continue
    target_layer="$(layer_of "$target")"
    [ -d "$target_layer" ] || continue
    if [[ "$permitted" != *" $target_layer "* ]]; then
      fail "$file:$number includes $target: $layer may not use $target_layer"
    fi
  done < <(grep -nE '^#include "' "$file")
  if [[ " $windowless " == *" $layer "* ]] && grep -qE "^#include <($widget_headers)" "$file"; then
    fail "$file uses Qt Widgets, which $layer must not"
  fi
  if [ "$layer" != print ] && grep -qE "^#include <($print_headers)" "$file"; then
    fail "$file uses Qt PrintSupport, which only print/ may"
  fi
  if [ "$layer" != help ] && grep -qE "^#include <($network_headers)" "$file"; then
    fail "$file uses Qt Network, which only help/ may"
  fi
done < <(find . -path ./build -prune -o -path './build-*' -prune -o -path ./tests -prune -o -path ./bench -prune \
  -o -path ./.git -prune -o \( -name '*.cpp' -o -name '*.h' \) -print | sed 's#^\./##' | sort)

longest="$(find . -path ./build -prune -o -path './build-*' -prune -o -path ./tests -prune -o -path ./.git -prune \
  -o \( -name '*.cpp' -o -name '*.h' \) -print | xargs wc -l | grep -v ' total$' | sort -n | tail -1)"
read -r longest_lines longest_file <<<"$longest"
echo "layers: longest source file outside tests: ${longest_file#./} ($longest_lines lines)"
if [ -n "$longest" ] && [ "$longest_lines" -gt "$max_lines" ]; then
  fail "${longest_file#./} is longer than $max_lines lines"
fi

if [ "$failures" -gt 0 ]; then
  echo "layers: $failures problem(s)" >&2
  exit 1
fi
echo "layers: every include goes down the layers"
