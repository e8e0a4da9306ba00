#!/usr/bin/env bash
# Fails when a C++ source file differs from what clang-format makes of it.
set -euo pipefail
clang_format=$1
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- \
  'src/*.h' 'src/*.cpp' 'tests/*.h' 'tests/*.cpp' 'bench/*.h' 'bench/*.cpp')
if [ ${#files[@]} -eq 0 ]; then
  echo "no source files found"
  exit 1
fi
"$clang_format" --dry-run --Werror "${files[@]}"
echo "${#files[@]} files formatted"
