#!/usr/bin/env bash
# Wall time and peak memory of reelsmith-transcode against the ffmpeg tool, same option
# string and codec thread count, on a 1080p 10-second clip generated once. Each pair runs
# REPEAT times (the two tools alternating); the medians are printed.
#   bench/transcode_vs_ffmpeg.sh [path/to/reelsmith-transcode] [threads] [repeat]
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

measure() {  # command... ; prints "seconds kilobytes"
  # stdin is closed: the ffmpeg tool would otherwise read the list of cases as key presses.
  /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>&1 </dev/null || { echo "FAILED"; return; }
  cat "$work/time.txt"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '| profile | options | reelsmith s | ffmpeg s | ratio | reelsmith MB | ffmpeg MB | delta MB | size ratio |\n'
printf '|---|---|---|---|---|---|---|---|---|\n'
while IFS='|' read -r name ext opts; do
  opts="$opts -threads $threads"
  : >"$work/ours.txt"; : >"$work/theirs.txt"
  for _ in $(seq "$repeat"); do
    measure "$tool" --threads 1 "$clip" "$work/ours.$ext" "$opts" >>"$work/ours.txt"
    # shellcheck disable=SC2086
    measure ffmpeg -y -v error -i "$clip" $opts "$work/theirs.$ext" >>"$work/theirs.txt"
  done
  ours_s=$(cut -d' ' -f1 "$work/ours.txt" | median); ours_kb=$(cut -d' ' -f2 "$work/ours.txt" | median)
  theirs_s=$(cut -d' ' -f1 "$work/theirs.txt" | median); theirs_kb=$(cut -d' ' -f2 "$work/theirs.txt" | median)
  ours_size=$(stat -c %s "$work/ours.$ext"); theirs_size=$(stat -c %s "$work/theirs.$ext")
  awk -v n="$name" -v o="$opts" -v a="$ours_s" -v b="$theirs_s" -v c="$ours_kb" -v d="$theirs_kb" \
      -v e="$ours_size" -v f="$theirs_size" 'BEGIN {
    printf "| %s | %s | %.2f | %.2f | %.3f | %.1f | %.1f | %+.1f | %.3f |\n", n, o, a, b, a / b, c / 1024, d / 1024,
      (c - d) / 1024, e / f }'
done <<'CASES'
MPEG4/MP3 AVI|avi|-b:a 128k -c:a libmp3lame -c:v mpeg4 -sn
H.264/AAC MP4|mp4|-b:a 192k -ac 2 -ar 48000 -c:a aac -c:v libx264 -pix_fmt yuv420p -sn
VP8/Vorbis WebM|webm|-b:a 128k -f webm -c:a libvorbis -c:v libvpx -sn
stream copy MKV|mkv|-c copy
CASES
