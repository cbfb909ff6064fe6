#!/usr/bin/env bash
# Wall time, CPU time (user + system), CPU utilisation and peak memory of reelsmith-transcode
# against the ffmpeg tool, same option string and codec thread count, on clips generated once:
# a 1080p 10-second H.264/AAC clip and a 720p 10-second MPEG-2/MP2 program stream. Each pair
# runs REPEAT times (the two tools alternating); the medians are printed, with the load average
# at the start and the end.
#   bench/transcode_vs_ffmpeg.sh [path/to/reelsmith-transcode] [threads] [repeat]
# threads "-" gives the option strings as they are, without "-threads" (the codecs then choose).
# REELSMITH_DECODE_AHEAD=0 / REELSMITH_ENCODE_AHEAD=0 in the environment make the engine decode
# or encode on the loop's thread, for a comparison.
set -euo pipefail
tool=${1:-build/tools/reelsmith-transcode}
threads=${2:-2}
repeat=${3:-3}
work=${REELSMITH_BENCH_DIR:-/tmp/reelsmith-bench}
mkdir -p "$work"
clip="$work/clip1080p10s.mp4"
if [ ! -s "$clip" ]; then
  ffmpeg -y -v error -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=10 \
    -f lavfi -i sine=frequency=440:sample_rate=48000:duration=10 -ac 2 \
    -c:v libx264 -preset veryfast -c:a aac -shortest "$clip" </dev/null
fi
mpeg2="$work/clip720p10s.mpg"
if [ ! -s "$mpeg2" ]; then
  ffmpeg -y -v error -f lavfi -i testsrc2=size=1280x720:rate=25:duration=10 \
    -f lavfi -i sine=frequency=440:sample_rate=48000:duration=10 -ac 2 \
    -c:v mpeg2video -b:v 8M -c:a mp2 -b:a 192k -shortest "$mpeg2" </dev/null
fi

measure() {  # command... ; prints "wall-seconds cpu-seconds kilobytes"
  # stdin is closed: the ffmpeg tool would otherwise read the list of cases as key presses.
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@" >/dev/null 2>&1 </dev/null || { echo "FAILED"; return; }
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$work/time.txt"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "load at start: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '| case | options | reelsmith s | ffmpeg s | wall ratio | reelsmith CPU s | ffmpeg CPU s | CPU ratio '
printf '| reelsmith CPU %% | ffmpeg CPU %% | reelsmith MB | ffmpeg MB | delta MB | size ratio |\n'
printf '|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n'
while IFS='|' read -r name source ext opts; do
  [ "$threads" != - ] && opts="$opts -threads $threads"
  input=$clip
  [ "$source" = mpeg2 ] && input=$mpeg2
  : >"$work/ours.txt"; : >"$work/theirs.txt"
  for _ in $(seq "$repeat"); do
    measure "$tool" --threads 1 "$input" "$work/ours.$ext" "$opts" >>"$work/ours.txt"
    # shellcheck disable=SC2086
    measure ffmpeg -y -v error -i "$input" $opts "$work/theirs.$ext" >>"$work/theirs.txt"
  done
  col() { cut -d' ' -f"$1" "$2" | median; }
  ours_s=$(col 1 "$work/ours.txt"); ours_cpu=$(col 2 "$work/ours.txt"); ours_kb=$(col 3 "$work/ours.txt")
  theirs_s=$(col 1 "$work/theirs.txt"); theirs_cpu=$(col 2 "$work/theirs.txt"); theirs_kb=$(col 3 "$work/theirs.txt")
  ours_size=$(stat -c %s "$work/ours.$ext"); theirs_size=$(stat -c %s "$work/theirs.$ext")
  awk -v n="$name" -v o="$opts" -v a="$ours_s" -v b="$theirs_s" -v c="$ours_kb" -v d="$theirs_kb" \
      -v e="$ours_size" -v f="$theirs_size" -v g="$ours_cpu" -v h="$theirs_cpu" 'BEGIN {
    printf "| %s | %s | %.2f | %.2f | %.3f | %.2f | %.2f | %.3f | %.0f | %.0f | %.1f | %.1f | %+.1f | %.3f |\n",
      n, o, a, b, a / b, g, h, g / h, 100 * g / a, 100 * h / b, c / 1024, d / 1024, (c - d) / 1024, e / f }'
done <<'CASES'
MPEG4/MP3 AVI|clip|avi|-b:a 128k -c:a libmp3lame -c:v mpeg4 -sn
H.264/AAC MP4|clip|mp4|-b:a 192k -ac 2 -ar 48000 -c:a aac -c:v libx264 -pix_fmt yuv420p -sn
VP8/Vorbis WebM|clip|webm|-b:a 128k -f webm -c:a libvorbis -c:v libvpx -sn
720p MPEG-2 to MPEG4/MP3 AVI|mpeg2|avi|-b:a 128k -c:a libmp3lame -c:v mpeg4 -sn
audio extraction MP3|clip|mp3|-b:a 128k -c:a libmp3lame -vn
stream copy MKV|clip|mkv|-c copy
CASES
echo "load at end: $(cut -d' ' -f1-3 /proc/loadavg)"
