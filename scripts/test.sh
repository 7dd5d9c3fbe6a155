#!/usr/bin/env bash
# Builds everything and runs every test. Window tests run offscreen; the end-to-end
# tests start their own virtual X server.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELMORA_BUILD_DIR:-$root/build}"
bash "$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure -j "$(nproc)" "$@"
