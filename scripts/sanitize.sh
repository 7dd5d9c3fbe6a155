#!/usr/bin/env bash
# Builds the tests that need no window with AddressSanitizer and UndefinedBehaviorSanitizer and runs them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export VELMORA_BUILD_DIR="${VELMORA_SANITIZE_BUILD_DIR:-$root/build-asan}"
export VELMORA_BUILD_TYPE=Debug
export VELMORA_CMAKE_ARGS="-DVELMORA_SANITIZE=ON -DVELMORA_BENCH=OFF"
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
bash "$root/scripts/build.sh" --target unit_tests
cd "$VELMORA_BUILD_DIR"
ctest --output-on-failure -j "$(nproc)" -L unit "$@"
