#!/usr/bin/env bash
# The layer check passes on the tree as it is and fails on each planted fault: an upward include, a
# widget header in the windowless model, a printing header outside print/, an overlong file.
set -uo pipefail
source_dir="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for dir in bridge core imaging cutout inpainting platform model framework documents tools demo print help app plugin; do
  [ -d "$source_dir/$dir" ] && cp -r "$source_dir/$dir" "$work/"
done
check="$source_dir/scripts/check-layers.sh"
status=0
expect() { # pass|fail, what, for a failure the file the report must name
  local want="$1" what="$2" named="${3:-}"
  bash "$check" "$work" >/dev/null 2>"$work/.err"
  local got=$?
  if { [ "$want" = pass ] && [ $got -ne 0 ]; } ||
     { [ "$want" = fail ] && { [ $got -eq 0 ] || ! grep -q "$named" "$work/.err"; }; }; then
    echo "FAIL: $what (exit $got)"; cat "$work/.err"; status=1
  else
    echo "ok: $what"
  fi
}
plant() { # file, line
  cp "$work/$1" "$work/$1.orig"
  printf '%s\n' "$2" | cat - "$work/$1.orig" >"$work/$1"
}
restore() { mv "$work/$1.orig" "$work/$1"; }

expect pass "the tree as it is"
plant core/QpGuid.cpp '#include "tools/BrushTool.h"'
expect fail "core including a tool" core/QpGuid.cpp
restore core/QpGuid.cpp
plant model/ObjectStore.cpp '#include "documents/QpGraphicsDocument.h"'
expect fail "the model including the documents" model/ObjectStore.cpp
restore model/ObjectStore.cpp
plant model/ObjectStore.cpp '#include <QWidget>'
expect fail "the model using a widget" model/ObjectStore.cpp
restore model/ObjectStore.cpp
plant documents/QpEditor.cpp '#include <QPrinter>'
expect fail "printing outside print/" documents/QpEditor.cpp
restore documents/QpEditor.cpp
seq 1 700 | sed 's#^#// #' >"$work/core/Long.cpp"
expect fail "an overlong file" core/Long.cpp
rm "$work/core/Long.cpp"
expect pass "the tree restored"
exit $status
