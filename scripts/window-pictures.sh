#!/usr/bin/env bash
# Takes a picture of every window of the desktop program on a virtual X display, with the
# test media, and puts them into docs/images for the user guide.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build_dir=${QUILLO_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLO_BUILD_TESTS=ON \
  >/dev/null
cmake --build "$build_dir" --parallel --target gui_picture_tests quillo-make-fixtures
ctest --test-dir "$build_dir" -R make_media_fixtures >/dev/null
QUILLO_PICTURE_DIR=$PWD/docs/images xvfb-run -a -s "-screen 0 1280x900x24" \
  "$build_dir/tests/gui/gui_picture_tests"
echo "The pictures are in docs/images:"
ls -l docs/images
