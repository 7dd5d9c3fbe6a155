#!/usr/bin/env bash
# Side-by-side Lanczos resize timings: Velmora's integer filter, Pillow's Image.resize(LANCZOS) and
# OpenCV's INTER_LANCZOS4, on the same photographs, in the same run, on this machine.
#   bash bench/compare/resize.sh [build-dir] [repeats]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
repeats="${2:-5}"

# The Debian packages belong to the system interpreter, whatever else is first on PATH.
python=/usr/bin/python3
if ! "$python" -c 'import PIL, cv2, numpy' 2>/dev/null; then
  echo "Installing Pillow and OpenCV for Python (python3-pil, python3-opencv)..." >&2
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq python3-pil python3-opencv python3-numpy >/dev/null
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target velmora_resize_timing >/dev/null

exec "$python" "$root/bench/compare/resize_compare.py" \
  --tool "$build/bench/compare/velmora_resize_timing" \
  --photos "${VELMORA_TESTDATA_DIR:-$root/../shared/testdata}/photos" \
  --repeats "$repeats"
