#!/usr/bin/env bash
# Builds Velmora and starts it on the bundled sample photo (or on the files given).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELMORA_BUILD_DIR:-$root/build}"
bash "$root/scripts/build.sh" --target Velmora
if [ $# -eq 0 ]; then set -- "$root/resources/samples/coffee.png"; fi
exec "$build/app/Velmora" "$@"
