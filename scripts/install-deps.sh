#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the program need.
# A no-op when all of them are present already.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config clang
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins qt6-svg-dev
  libgl-dev
  libjpeg62-turbo-dev libturbojpeg0-dev libexiv2-dev libpng-dev zlib1g-dev
  libjpeg-turbo-progs
  libxtst-dev libx11-dev xvfb xauth x11-utils imagemagick
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
