#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Safe to run again: packages already present are not touched, and the package
# index is refreshed only when something is missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang-format
  # media libraries: headers at build time, shared objects opened at run time
  libavcodec-dev libavformat-dev libavfilter-dev libavutil-dev
  libswscale-dev libswresample-dev libavdevice-dev
  libsdl2-dev
  # GUI front end, and a font for it to draw its texts with
  qt6-base-dev fonts-dejavu-core
  # tests: GoogleTest, a virtual display, and ffmpeg as an independent checker
  libgtest-dev xvfb xauth ffmpeg
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$package")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
else
  as_root=(sudo)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# An install from a stale or empty index fails; refresh it first, and again on failure.
if ! "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"; then
  "${as_root[@]}" apt-get update
  "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
