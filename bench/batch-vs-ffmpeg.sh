#!/usr/bin/env bash
# A batch of short files through quillo-convert against the same conversions run by the
# ffmpeg tool one after another, the batch again with --jobs 2, and adding many files to the
# job list against ffprobe run on each. Prints the medians and the ratios. See README.md.
set -euo pipefail

bench_name=batch-vs-ffmpeg
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
root=$bench_root
build_dir=$(bench_build_dir)
convert=$build_dir/src/cli/quillo-convert
joblist=$build_dir/bench/quillo-bench-joblist
files=${FILES:-20}
added=${ADDED:-1000}
runs=3
# ffprobe takes about 0.3 s a file (most of it loading its libraries): one run of the 1000.
add_runs=${ADD_RUNS:-1}

for program in "$convert" "$joblist"; do
  [ -x "$program" ] || bench_fail "$program is missing; build it with:
  cmake -S $root -B $build_dir -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLO_BUILD_TESTS=ON
  cmake --build $build_dir --target quillo-convert quillo-bench-joblist"
done
bench_require_gnu_time
for tool in ffmpeg ffprobe; do
  command -v "$tool" >/dev/null || bench_fail "$tool is missing; install the Debian package: apt-get install ffmpeg"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quillo-batch-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
# The program's settings of its own, so that the user's are left alone.
export QUILLO_CONFIG_DIR=$work/config

# Short sources at the AVI profile's size and rate, so that both programs do the same work:
# 4 s of 640x480 pictures at 29.97 fps with a stereo 44.1 kHz tone, each a different pattern.
echo "generating $files sources of 4 s (640x480, H.264 + AAC)"
mkdir -p "$work/sources"
patterns=(testsrc2 testsrc smptebars rgbtestsrc)
sources=()
for ((i = 0; i < files; ++i)); do
  source=$work/sources/source$i.mp4
  ffmpeg -nostdin -v error -y \
    -f lavfi -i "${patterns[i % ${#patterns[@]}]}=size=640x480:rate=30000/1001:duration=4" \
    -f lavfi -i "sine=frequency=$((300 + 20 * i)):sample_rate=44100:duration=4" \
    -ac 2 -c:v libx264 -pix_fmt yuv420p -b:v 2M -c:a aac -b:a 128k "$source" ||
    bench_fail "ffmpeg could not generate $source"
  sources+=("$source")
done

# The AVI profile (404): MPEG-4 1200k at 640x480 and 29.97 fps, MP3 128k at 44.1 kHz stereo.
"$convert" --profile 404 --list-profiles >/dev/null
"$convert" --profile 404 --output-dir "$work/warmup" "${sources[0]}" >/dev/null
ffmpeg_options=(-c:v mpeg4 -b:v 1200k -r 30000/1001 -s 640x480 -c:a libmp3lame -b:a 128k
  -ar 44100 -ac 2)

echo "quillo-convert: $convert (profile 404)"
echo "ffmpeg: $(command -v ffmpeg) ($(ffmpeg -version | head -n 1)) ${ffmpeg_options[*]}"
echo "machine: $(nproc) cores; $runs runs of each, alternating"

# Runs a command under GNU time and appends its wall time (s) to the figures file.
measure() {
  local figures=$1
  shift
  if ! /usr/bin/time -f "%e" -o "$work/timing.txt" "$@" >"$work/run.log" 2>&1; then
    tail -n 5 "$work/run.log" >&2
    bench_fail "this run failed: $*"
  fi
  cat "$work/timing.txt" >>"$figures"
}

median() {
  sort -g "$1" | awk '{ value[NR] = $1 } END { print value[int((NR + 1) / 2)] }'
}

# The ffmpeg side as a script of its own, so that GNU time can run it.
cat >"$work/ffmpeg-batch.sh" <<SCRIPT
#!/usr/bin/env bash
set -euo pipefail
folder=\$1
shift
mkdir -p "\$folder"
for source in "\$@"; do
  name=\$(basename "\${source%.*}")
  ffmpeg -nostdin -v error -y -i "\$source" ${ffmpeg_options[*]} "\$folder/\$name.avi"
done
SCRIPT
cat >"$work/ffprobe-each.sh" <<'SCRIPT'
#!/usr/bin/env bash
set -euo pipefail
for file in "$@"; do
  ffprobe -v error -show_format -show_streams "$file" >/dev/null
done
SCRIPT
chmod +x "$work/ffmpeg-batch.sh" "$work/ffprobe-each.sh"

: >"$work/ours1.txt"
: >"$work/ours2.txt"
: >"$work/theirs.txt"
for ((run = 1; run <= runs; ++run)); do
  measure "$work/ours1.txt" "$convert" --output-dir "$work/ours1-$run" "${sources[@]}"
  measure "$work/theirs.txt" "$work/ffmpeg-batch.sh" "$work/theirs-$run" "${sources[@]}"
  measure "$work/ours2.txt" "$convert" --jobs 2 --output-dir "$work/ours2-$run" "${sources[@]}"
  printf "  run %d: quillo-convert %s s, --jobs 2 %s s | ffmpeg %s s\n" "$run" \
    "$(tail -n 1 "$work/ours1.txt")" "$(tail -n 1 "$work/ours2.txt")" \
    "$(tail -n 1 "$work/theirs.txt")"
done
count=$(find "$work/ours1-1" -name '*.avi' | wc -l)
[ "$count" -eq "$files" ] || bench_fail "quillo-convert wrote $count of $files outputs"
ours1=$(median "$work/ours1.txt")
ours2=$(median "$work/ours2.txt")
theirs=$(median "$work/theirs.txt")
echo "== batch of $files files"
echo "  median: quillo-convert ${ours1} s, --jobs 2 ${ours2} s, ffmpeg one after another ${theirs} s"
awk -v a="$ours1" -v b="$theirs" 'BEGIN { printf "ratio engine/ffmpeg wall: %.2f\n", a / b }'
awk -v a="$ours2" -v b="$theirs" 'BEGIN { printf "ratio engine --jobs 2/ffmpeg wall: %.2f\n", a / b }'

# Adding files: copies of one short source under different names.
echo "== adding $added files to the job list"
mkdir -p "$work/many"
for ((i = 0; i < added; ++i)); do
  cp "${sources[0]}" "$work/many/file$i.mp4"
done
many=("$work/many"/*.mp4)
: >"$work/add.txt"
: >"$work/probe.txt"
for ((run = 1; run <= add_runs; ++run)); do
  measure "$work/add.txt" "$joblist" "${many[@]}"
  grep -q "^$added rows" "$work/run.log" || bench_fail "the job list did not take every file: $(cat "$work/run.log")"
  measure "$work/probe.txt" "$work/ffprobe-each.sh" "${many[@]}"
  printf "  run %d: job list %s s | ffprobe on each %s s\n" "$run" \
    "$(tail -n 1 "$work/add.txt")" "$(tail -n 1 "$work/probe.txt")"
done
add=$(median "$work/add.txt")
probe=$(median "$work/probe.txt")
echo "  median: job list ${add} s, ffprobe on each ${probe} s"
awk -v a="$add" -v b="$probe" 'BEGIN { printf "ratio add/ffprobe wall: %.2f\n", a / b }'
