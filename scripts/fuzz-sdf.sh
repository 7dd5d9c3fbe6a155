#!/usr/bin/env bash
# Fuzzes the settings reader with libFuzzer for a bounded time; exits non-zero on a crash.
# Usage: scripts/fuzz-sdf.sh [seconds] (default 60). Needs Debian's clang++.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I "$root" \
    "$root/tests/fuzz/SdfReaderFuzz.cpp" "$root/core/QpSDF.cpp" "$root/core/QpGuid.cpp" \
    -o "$work/sdf-reader-fuzz"

# Seeds: an empty file and a small well-formed settings file, so the search starts inside the format.
mkdir -p "$work/corpus"
: >"$work/corpus/empty"
printf '\xd5\x01\x0d\x10\xff\xd7\xf6\x7a\x8b\x61\xd9\x41\x88\x2e\x41\x9d\x50\x0d\xf2\x8b'\
'\x55\x02\x05\x04\x2c\x01\x00\x00\x54\x03\x0c\xd5\x04\x05\x04\x01\x00\x00\x00'\
'\x55\x01\x0c\x02\x41\x00\x00\x00' >"$work/corpus/settings"

cd "$work"
"$work/sdf-reader-fuzz" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 \
    -print_final_stats=1 "$work/corpus"
