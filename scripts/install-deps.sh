#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, skipping what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build git
  g++-mingw-w64-x86-64-posix
  libgtest-dev
  clang libclang-rt-14-dev clang-format
  wine wine64 xvfb
  imagemagick libjpeg-turbo-progs giflib-tools libgif-dev libstb-dev
  zlib1g-dev libz-mingw-w64-dev
  libpng-dev netpbm
  python3-pil
  pulseaudio pulseaudio-utils
  sox
  g++-aarch64-linux-gnu qemu-user zlib1g-dev:arm64 libgtest-dev:arm64
)

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
# The aarch64 build takes zlib and GoogleTest from Debian's arm64 packages.
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  "${sudo_cmd[@]}" dpkg --add-architecture arm64
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
