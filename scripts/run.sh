#!/usr/bin/env bash
# Installs what is missing, builds the program and starts the desktop program
# quillo-video-converter; files given are added to its job list. Without a display (neither
# DISPLAY nor WAYLAND_DISPLAY) it says so and runs the batch converter quillo-convert instead:
# with files (and its options) it converts them; without any, or with --demo, it converts a
# generated sample with the current profile and says where the output went.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build_dir=${QUILLO_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" --parallel \
  --target quillo-video-converter quillo-convert quillo-libraries quillo-probe quillo-transcode

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$build_dir/src/gui/quillo-video-converter" "$@"
fi

echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): running the batch converter" \
  "quillo-convert instead of the desktop program."
if [ $# -gt 0 ] && [ "$1" != "--demo" ]; then
  exec "$build_dir/src/cli/quillo-convert" "$@"
fi

sample_folder=$(mktemp -d)
trap 'rm -rf "$sample_folder"' EXIT
sample=$sample_folder/quillo-sample.mp4
echo "Making a 5 s sample (moving test picture, 440 Hz tone): $sample"
ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=640x360:rate=25:duration=5 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=5 \
  -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest "$sample"
"$build_dir/src/cli/quillo-convert" "$sample"
