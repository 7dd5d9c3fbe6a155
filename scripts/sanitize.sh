#!/usr/bin/env bash
# Builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs the tests that need no window,
# plus the image document tests (offscreen), whose codec and pixel storage are the riskiest memory code.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export VELMORA_BUILD_DIR="${VELMORA_SANITIZE_BUILD_DIR:-$root/build-asan}"
export VELMORA_BUILD_TYPE=Debug
export VELMORA_CMAKE_ARGS="-DVELMORA_SANITIZE=ON -DVELMORA_BENCH=OFF"
bash "$root/scripts/build.sh" --target unit_tests documents_tests
cd "$VELMORA_BUILD_DIR"
# Fontconfig, which Qt's offscreen platform loads, keeps a few hundred bytes until exit on purpose.
printf 'leak:libfontconfig.so\n' > lsan.supp
export ASAN_OPTIONS="detect_leaks=1"
export LSAN_OPTIONS="suppressions=$VELMORA_BUILD_DIR/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j "$(nproc)" -L unit "$@"
# The document tests carry the window label, which other folders' tests share; they run on their own.
"$VELMORA_BUILD_DIR/tests/documents/documents_tests"
