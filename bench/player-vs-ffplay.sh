#!/usr/bin/env bash
# Plays a generated 1080p30 H.264 + AAC file for 10 s with quillo-play and with ffplay, and
# decodes the same 10 s at their own pace with the ffmpeg tool; prints the pictures shown and
# dropped, the medians of CPU and wall time, and the ratios. See README.md.
set -euo pipefail

bench_name=player-vs-ffplay
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

build_dir=$(bench_build_dir)
player=$build_dir/src/cli/quillo-play
runs=${RUNS:-3}
seconds=10
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

[ -x "$player" ] || bench_fail "$player is missing; build it with:
  cmake -S $bench_root -B $build_dir -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build $build_dir --target quillo-play"
bench_require_gnu_time
for tool in ffmpeg ffplay; do
  command -v "$tool" >/dev/null ||
    bench_fail "$tool is missing; install the Debian package: apt-get install ffmpeg"
done

bench_work_dir

source_file=$work/hd.mp4
echo "generating the source: $source_file (12 s of 1920x1080 at 30 fps, H.264 + AAC)"
ffmpeg -nostdin -v error -y \
  -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=12" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=12" \
  -ac 2 -c:v libx264 -preset veryfast -pix_fmt yuv420p -b:v 8M -c:a aac -b:a 128k \
  "$source_file" || bench_fail "ffmpeg could not generate the source"

echo "player: $player"
echo "ffmpeg: $(command -v ffmpeg) ($(ffmpeg -version | head -n 1))"
echo "audio driver: $SDL_AUDIODRIVER"
echo "machine: $(nproc) cores; $runs runs of each, alternating"

: >"$work/player.txt"
: >"$work/ffplay.txt"
: >"$work/decode.txt"
: >"$work/pictures.txt"
for ((run = 1; run <= runs; ++run)); do
  bench_measure "$work/player.txt" "$work/player.log" "$player" --seconds "$seconds" "$source_file"
  awk '/^frames shown/ { shown = $3 } /^frames dropped/ { dropped = $3 }
    END { print shown, dropped }' "$work/player.log" >>"$work/pictures.txt"
  # -nodisp leaves the pictures out altogether: ffplay then decodes the sound only.
  bench_measure "$work/ffplay.txt" "$work/ffplay.log" \
    ffplay -v error -nodisp -autoexit -t "$seconds" "$source_file"
  # The same pictures and sound decoded at their own pace, without showing them.
  bench_measure "$work/decode.txt" "$work/decode.log" \
    ffmpeg -nostdin -v error -re -t "$seconds" -i "$source_file" -f null -
done

player_cpu=$(bench_median "$work/player.txt" 2)
player_wall=$(bench_median "$work/player.txt" 1)
ffplay_cpu=$(bench_median "$work/ffplay.txt" 2)
decode_cpu=$(bench_median "$work/decode.txt" 2)
shown=$(bench_median "$work/pictures.txt" 1)
dropped=$(bench_median "$work/pictures.txt" 2)
most_dropped=$(awk '$2 > most { most = $2 } END { print most + 0 }' "$work/pictures.txt")

echo "quillo-play: frames shown $shown, frames dropped $dropped (at most $most_dropped)," \
  "CPU ${player_cpu} s, wall ${player_wall} s"
echo "ffplay -nodisp: CPU ${ffplay_cpu} s"
echo "ffmpeg -re decoding: CPU ${decode_cpu} s"
awk -v a="$player_cpu" -v b="$ffplay_cpu" 'BEGIN { printf "ratio player/ffplay cpu: %.2f\n", a / b }'
awk -v a="$player_cpu" -v b="$decode_cpu" \
  'BEGIN { printf "ratio player/ffmpeg-decoding cpu: %.2f\n", a / b }'
