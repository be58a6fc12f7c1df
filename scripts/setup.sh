#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# but only those that are missing.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libsdl1.2-dev libmikmod-dev
  libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool x11-apps x11-utils gdb
  imagemagick netpbm
  openmpt123 xmp sox
  libsdl1.2-compat pulseaudio pulseaudio-utils python3-numpy
  ffmpeg webp
  emscripten dpkg-dev chromium python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
