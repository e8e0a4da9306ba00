#!/usr/bin/env bash
# Starts the desktop program on a virtual X display with a file named on its command line,
# lets it save a picture of its window once that window shows, and checks the picture: a PNG
# of at least the window's smallest size. The picture stays as the test's artefact.
# Usage: gui_smoke_screenshot.sh PROGRAM PICTURE MEDIA_FILE
set -euo pipefail
program=$1
picture=$2
media=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/out"
rm -f "$picture"

# Settings, outputs and the home folder of the test's own; no sound device needed.
export QUILLO_CONFIG_DIR=$work/config HOME=$work/home SDL_AUDIODRIVER=dummy
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

run=(timeout 120 "$program" --screenshot "$picture" "$media")
if command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 1280x800x24" "${run[@]}"
else
  echo "xvfb-run is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

if [ ! -s "$picture" ]; then
  echo "no picture was saved at $picture" >&2
  exit 1
fi
# The PNG signature, then the width and height of its header.
signature=$(od -An -tx1 -N8 "$picture" | tr -d ' \n')
if [ "$signature" != "89504e470d0a1a0a" ]; then
  echo "$picture is no PNG file" >&2
  exit 1
fi
read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$picture")
width=$(( (w1 << 24) | (w2 << 16) | (w3 << 8) | w4 ))
height=$(( (h1 << 24) | (h2 << 16) | (h3 << 8) | h4 ))
size=$(stat -c %s "$picture")
echo "window picture: ${width}x${height}, $size bytes: $picture"
if [ "$width" -lt 780 ] || [ "$height" -lt 500 ] || [ "$width" -gt 4000 ] || [ "$height" -gt 3000 ]; then
  echo "the window is ${width}x${height}, not a sane size" >&2
  exit 1
fi
# A window with its controls drawn compresses to far more than a blank one.
if [ "$size" -lt 20000 ]; then
  echo "the picture is only $size bytes: the window looks empty" >&2
  exit 1
fi
