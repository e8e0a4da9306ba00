#!/usr/bin/env bash
# Fails when any given executable names an FFmpeg or SDL library among its NEEDED entries.
set -euo pipefail
status=0
for file in "$@"; do
  if ! needed=$(readelf --dynamic "$file" | grep '(NEEDED)'); then
    echo "$file: no NEEDED entries could be read"
    status=1
    continue
  fi
  if offending=$(grep -E 'lib(av|sw|postproc|SDL)' <<<"$needed"); then
    echo "$file links a media library at build time:"
    echo "$offending"
    status=1
  fi
done
if [ $status -eq 0 ]; then
  echo "$# executables checked: none links a media library"
fi
exit $status
