#!/usr/bin/env bash
# Configures and builds Velmora into build/ (or $VELMORA_BUILD_DIR), installing missing packages first.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
build="${VELMORA_BUILD_DIR:-$root/build}"
export CCACHE_DIR="${CCACHE_DIR:-$root/.cache/ccache}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${VELMORA_BUILD_TYPE:-RelWithDebInfo}" ${VELMORA_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" "$@"
