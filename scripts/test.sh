#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build_dir=${QUILLO_BUILD_DIR:-build}
sanitize=${QUILLO_SANITIZE:-OFF}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLO_WARNINGS_AS_ERRORS=ON -DQUILLO_BUILD_TESTS=ON -DQUILLO_SANITIZE="$sanitize"
# Undefined behaviour fails the test that shows it instead of scrolling past.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cmake --build "$build_dir" --parallel
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" --timeout 900
