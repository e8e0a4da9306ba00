#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build_dir=${QUILLO_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" --parallel --target quillo-libraries quillo-probe quillo-transcode
exec "$build_dir/src/cli/quillo-libraries" "$@"
