#!/usr/bin/env bash
# Converts one generated source with quillo-transcode (our engine) and with the ffmpeg tool,
# using the same codec settings, and prints the median wall time, CPU time and peak memory of
# each together with the engine/ffmpeg ratios. See bench/README.md.
set -euo pipefail

bench_name=engine-vs-ffmpeg
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
root=$bench_root
build_dir=$(bench_build_dir)
engine=$build_dir/src/cli/quillo-transcode
effects_driver=$build_dir/bench/quillo-bench-effects
runs=3
cases=${CASES:-xvid-avi h264-mp4 pal-dvd effects}

wanted() {
  [[ " $cases " == *" $1 "* ]]
}

# Nothing is built here: a benchmark should measure what the developer built.
if { wanted xvid-avi || wanted h264-mp4 || wanted pal-dvd; } && [ ! -x "$engine" ]; then
  if [ -f "$build_dir/CMakeCache.txt" ]; then
    bench_fail "$engine is missing; build it with: cmake --build $build_dir --target quillo-transcode"
  fi
  bench_fail "$engine is missing; configure and build it with:
  cmake -S $root -B $build_dir -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build $build_dir --target quillo-transcode
(or set BUILD_DIR to a build folder that has it)"
fi
# The frame-effects case needs the driver that is built with the tests.
if wanted effects && [ ! -x "$effects_driver" ]; then
  bench_fail "$effects_driver is missing; build it with: cmake --build $build_dir --target quillo-bench-effects
(it is configured with -DQUILLO_BUILD_TESTS=ON; or leave effects out of CASES)"
fi
# Peak memory needs GNU time; the shell keyword has no such figure.
bench_require_gnu_time
for tool in ffmpeg ffprobe; do
  command -v "$tool" >/dev/null || bench_fail "$tool is missing; install the Debian package: apt-get install ffmpeg"
done

bench_work_dir

# 20 s of moving 1280x720 pictures at 30 fps with a stereo tone, as H.264 + AAC.
source_file=$work/source.mp4
echo "generating the source: $source_file"
ffmpeg -nostdin -v error -y \
  -f lavfi -i "testsrc2=size=1280x720:rate=30:duration=20" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=20" \
  -ac 2 -c:v libx264 -pix_fmt yuv420p -b:v 4M -c:a aac -b:a 128k "$source_file" ||
  bench_fail "ffmpeg could not generate the source"

echo "engine: $engine"
echo "cases: $cases"
echo "ffmpeg: $(command -v ffmpeg) ($(ffmpeg -version | head -n 1))"
echo "machine: $(nproc) cores; $runs runs of each program per case, alternating"

# Runs one program under GNU time; appends "wall cpu rss" (s, s, KiB) to the figures file.
measure() {
  local figures=$1 log=$2
  shift 2
  local timing=$work/timing.txt
  if ! /usr/bin/time -f "%e %U %S %M" -o "$timing" "$@" >"$log" 2>&1; then
    tail -n 5 "$log" >&2
    bench_fail "this run failed: $*"
  fi
  awk '{ printf "%.2f %.2f %d\n", $1, $2 + $3, $4 }' "$timing" >>"$figures"
}

# The median of column $2 of the figures file $1.
median() {
  awk -v column="$2" '{ print $column }' "$1" | sort -g | awk '{ value[NR] = $1 }
    END { print value[int((NR + 1) / 2)] }'
}

# One line per audio or video stream: index, type, codec, tag, size or rate/channels,
# frame count and bit rate (kbit/s, from the packet sizes, since MPEG program streams carry
# no per-stream bit rate).
describe() {
  local file=$1 duration
  duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$file")
  {
    ffprobe -v error -count_packets -of compact=p=0 -show_entries \
      stream=index,codec_type,codec_name,codec_tag_string,width,height,sample_rate,channels,nb_read_packets \
      "$file" | sed 's/^/stream|/'
    ffprobe -v error -of csv=p=0 -show_entries packet=stream_index,size "$file" | sed 's/^/packet,/'
  } | awk -F'[|,]' -v duration="$duration" '
    $1 == "packet" { bytes[$2] += $3; next }
    $1 == "stream" {
      delete field
      for (i = 2; i <= NF; ++i) {
        split($i, pair, "=")
        field[pair[1]] = pair[2]
      }
      if (field["codec_type"] != "video" && field["codec_type"] != "audio") next
      n = field["index"]
      order[++count] = n
      type[n] = field["codec_type"]
      codec[n] = field["codec_name"]
      tag[n] = field["codec_tag_string"]
      shape[n] = type[n] == "video" ? field["width"] "x" field["height"] \
                                    : field["sample_rate"] "Hz/" field["channels"] "ch"
      frames[n] = field["nb_read_packets"]
    }
    END {
      for (i = 1; i <= count; ++i) {
        n = order[i]
        printf "%s %s %s %s %s %s %.0f\n", n, type[n], codec[n], tag[n], shape[n], frames[n],
               bytes[n] * 8 / duration / 1000
      }
    }'
}

# Prints a warning for every difference between the outputs of the two programs beyond one
# frame (the end of a frame-rate conversion may round either way) or 5% of the bit rate.
compare_outputs() {
  local ours=$1 theirs=$2
  describe "$ours" >"$work/ours.txt"
  describe "$theirs" >"$work/theirs.txt"
  sed 's/^/  engine output: stream /' "$work/ours.txt"
  sed 's/^/  ffmpeg output: stream /' "$work/theirs.txt"
  if ! awk 'NR == FNR { line[FNR] = $0; count = FNR; next }
    {
      other = FNR
      split(line[FNR], a, " ")
      if (a[2] != $2 || a[3] != $3 || a[4] != $4 || a[5] != $5) {
        printf "WARNING: stream %s differs: engine %s %s %s %s, ffmpeg %s %s %s %s\n",
               $1, a[2], a[3], a[4], a[5], $2, $3, $4, $5
        bad = 1
      }
      if (a[6] - $6 > 1 || $6 - a[6] > 1) {
        printf "WARNING: stream %s frame counts differ: engine %s, ffmpeg %s\n", $1, a[6], $6
        bad = 1
      }
      if ((a[7] - $7) > 0.05 * $7 || ($7 - a[7]) > 0.05 * $7) {
        printf "WARNING: stream %s bit rates differ: engine %s kb/s, ffmpeg %s kb/s\n",
               $1, a[7], $7
        bad = 1
      }
    }
    END {
      if (other != count) {
        printf "WARNING: the engine wrote %d streams, ffmpeg %d\n", count, other
        bad = 1
      }
      exit bad
    }' "$work/ours.txt" "$work/theirs.txt"; then
    return 0
  fi
  echo "  outputs match: same codecs, tags, sizes, frame counts and bit rates"
}

worst_wall=0
worst_memory=0

# run_case NAME EXTENSION DESCRIPTION -- ENGINE OPTIONS -- FFMPEG OPTIONS
run_case() {
  local name=$1 extension=$2 description=$3
  shift 4
  local engine_options=() ffmpeg_options=()
  while [ "$1" != "--" ]; do
    engine_options+=("$1")
    shift
  done
  shift
  ffmpeg_options=("$@")

  local ours=$work/$name-engine.$extension theirs=$work/$name-ffmpeg.$extension
  local our_figures=$work/$name-engine.txt their_figures=$work/$name-ffmpeg.txt
  : >"$our_figures"
  : >"$their_figures"
  echo
  echo "== $name: $description"
  echo "  engine: quillo-transcode -i SOURCE ${engine_options[*]} OUTPUT"
  echo "  ffmpeg: ffmpeg -i SOURCE ${ffmpeg_options[*]} OUTPUT"
  # Other work on the machine shows in the wall times.
  echo "  load average: $(cut -d ' ' -f 1-3 /proc/loadavg)"
  for run in $(seq "$runs"); do
    measure "$our_figures" "$work/$name-engine.log" \
      "$engine" -i "$source_file" "${engine_options[@]}" "$ours"
    measure "$their_figures" "$work/$name-ffmpeg.log" \
      ffmpeg -nostdin -y -i "$source_file" "${ffmpeg_options[@]}" "$theirs"
    local ow oc om tw tc tm
    read -r ow oc om < <(tail -n 1 "$our_figures")
    read -r tw tc tm < <(tail -n 1 "$their_figures")
    printf "  run %d: engine %s s wall, %s s CPU, %s KiB | ffmpeg %s s wall, %s s CPU, %s KiB\n" \
      "$run" "$ow" "$oc" "$om" "$tw" "$tc" "$tm"
  done

  local our_wall our_cpu our_rss their_wall their_cpu their_rss
  our_wall=$(median "$our_figures" 1)
  our_cpu=$(median "$our_figures" 2)
  our_rss=$(median "$our_figures" 3)
  their_wall=$(median "$their_figures" 1)
  their_cpu=$(median "$their_figures" 2)
  their_rss=$(median "$their_figures" 3)
  printf "  median engine: wall %.2f s, CPU %.2f s, peak RSS %.1f MiB\n" \
    "$our_wall" "$our_cpu" "$(awk -v k="$our_rss" 'BEGIN { print k / 1024 }')"
  printf "  median ffmpeg: wall %.2f s, CPU %.2f s, peak RSS %.1f MiB\n" \
    "$their_wall" "$their_cpu" "$(awk -v k="$their_rss" 'BEGIN { print k / 1024 }')"
  compare_outputs "$ours" "$theirs"

  local wall_ratio memory_ratio
  wall_ratio=$(awk -v a="$our_wall" -v b="$their_wall" 'BEGIN { printf "%.2f", a / b }')
  memory_ratio=$(awk -v a="$our_rss" -v b="$their_rss" 'BEGIN { printf "%.2f", a / b }')
  echo "ratio engine/ffmpeg wall: $wall_ratio"
  echo "ratio engine/ffmpeg memory: $memory_ratio"
  worst_wall=$(awk -v a="$worst_wall" -v b="$wall_ratio" 'BEGIN { print (b > a ? b : a) }')
  worst_memory=$(awk -v a="$worst_memory" -v b="$memory_ratio" 'BEGIN { print (b > a ? b : a) }')
}

# The batch's frame effects: the same converter task with and without the frame hook that
# applies brightness, contrast, saturation and exposure changes and draws a text and a BMP
# watermark on every frame. Both runs use the XviD settings.
run_effects_case() {
  local plain=$work/effects-plain.avi hooked=$work/effects-hook.avi
  local plain_figures=$work/effects-plain.txt hook_figures=$work/effects-hook.txt
  : >"$plain_figures"
  : >"$hook_figures"
  echo
  echo "== effects: one converter task, plain and with the frame hook (adjustments, text, BMP)"
  echo "  driver: $effects_driver plain|hook SOURCE OUTPUT"
  echo "  load average: $(cut -d ' ' -f 1-3 /proc/loadavg)"
  for run in $(seq "$runs"); do
    measure "$plain_figures" "$work/effects-plain.log" "$effects_driver" plain "$source_file" "$plain"
    measure "$hook_figures" "$work/effects-hook.log" "$effects_driver" hook "$source_file" "$hooked"
    local pw pc pm hw hc hm
    read -r pw pc pm < <(tail -n 1 "$plain_figures")
    read -r hw hc hm < <(tail -n 1 "$hook_figures")
    printf "  run %d: plain %s s wall, %s s CPU, %s KiB | hook %s s wall, %s s CPU, %s KiB\n" \
      "$run" "$pw" "$pc" "$pm" "$hw" "$hc" "$hm"
  done
  grep "frames through the hook" "$work/effects-hook.log" | sed 's/^/  /'
  local plain_wall plain_cpu hook_wall hook_cpu
  plain_wall=$(median "$plain_figures" 1)
  plain_cpu=$(median "$plain_figures" 2)
  hook_wall=$(median "$hook_figures" 1)
  hook_cpu=$(median "$hook_figures" 2)
  printf "  median plain: wall %.2f s, CPU %.2f s\n" "$plain_wall" "$plain_cpu"
  printf "  median hook: wall %.2f s, CPU %.2f s\n" "$hook_wall" "$hook_cpu"
  local wall_ratio cpu_ratio
  wall_ratio=$(awk -v a="$hook_wall" -v b="$plain_wall" 'BEGIN { printf "%.2f", a / b }')
  cpu_ratio=$(awk -v a="$hook_cpu" -v b="$plain_cpu" 'BEGIN { printf "%.2f", a / b }')
  echo "ratio hook/plain CPU: $cpu_ratio"
  echo "ratio hook/plain wall: $wall_ratio"
  awk -v wall="$wall_ratio" 'BEGIN {
    printf "goal (hook/plain wall <= 1.30): %s\n", wall <= 1.30 ? "met" : "not met"
  }'
}

engine_cases=0
if wanted xvid-avi; then
  engine_cases=1
  run_case xvid-avi avi "XviD-style MPEG-4 1500k (XVID) + MP3 128k in AVI" -- \
    -vcodec mpeg4 -vtag XVID -b 1500k -acodec libmp3lame -ab 128k -- \
    -c:v mpeg4 -vtag XVID -b:v 1500k -c:a libmp3lame -b:a 128k
fi
if wanted h264-mp4; then
  engine_cases=1
  run_case h264-mp4 mp4 "H.264 (libx264) 1500k + AAC 128k in MP4" -- \
    -vcodec libx264 -b 1500k -acodec aac -ab 128k -- \
    -c:v libx264 -b:v 1500k -c:a aac -b:a 128k
fi
if wanted pal-dvd; then
  engine_cases=1
  run_case pal-dvd mpg "PAL DVD target" -- \
    -target pal-dvd -- \
    -target pal-dvd
fi
if wanted effects; then
  run_effects_case
fi

if [ "$engine_cases" = 1 ]; then
  echo
  echo "== overall (the worst engine/ffmpeg case)"
  printf "ratio engine/ffmpeg wall: %.2f\n" "$worst_wall"
  printf "ratio engine/ffmpeg memory: %.2f\n" "$worst_memory"
  awk -v wall="$worst_wall" -v memory="$worst_memory" 'BEGIN {
    printf "goals (wall <= 1.05, memory <= 1.20 per case): %s\n",
           wall <= 1.05 && memory <= 1.20 ? "met" : "not met"
  }'
fi
