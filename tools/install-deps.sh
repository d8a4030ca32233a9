#!/usr/bin/env bash
# Installs every Debian package the build, the game and the tests need.
# Idempotent: quiet and quick when everything is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config ninja-build
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libminizip-dev libdevil-dev libtinyxml-dev libfreetype-dev
  libpng-dev libjpeg-dev
  libsdl1.2-dev libglew-dev libgl-dev libglu1-mesa-dev
  libgl1-mesa-dri mesa-utils
  libxmp-dev libsndfile1-dev
  fonts-dejavu-core
  python3 zip unzip p7zip-full
  xvfb xauth xdotool x11-utils x11-apps imagemagick twm xfonts-base libxdamage1 libxtst6
  g++-mingw-w64-x86-64-posix mingw-w64-tools nasm dpkg-dev wine wine64 wine64-preloader
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
