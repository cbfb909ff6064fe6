#!/usr/bin/env bash
# Stream copy of a 100 MB 1080p file (H.264 at 78 Mbit/s of noisy pictures, AAC; made once)
# into MKV: reelsmith-transcode against the ffmpeg tool, alternating the two REPEAT times, each output
# written as a new file in the bench folder (removed before every run, outside the timing).
# Prints every pair, then the median wall, user and system time of each and the wall ratio.
#   bench/stream_copy.sh [path/to/reelsmith-transcode] [repeat]
set -euo pipefail
tool=${1:-build/release/tools/reelsmith-transcode}
repeat=${2:-7}
work=${REELSMITH_BENCH_DIR:-/tmp/reelsmith-bench}
mkdir -p "$work"
clip="$work/copy1080p100mb.mp4"
if [ ! -s "$clip" ]; then
  ffmpeg -y -v error -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=10 \
    -f lavfi -i sine=frequency=440:sample_rate=48000:duration=10 -ac 2 -vf noise=alls=12:allf=t \
    -c:v libx264 -preset ultrafast -b:v 78M -maxrate 78M -bufsize 40M -c:a aac -shortest "$clip" </dev/null
fi
echo "source: $(stat -c %s "$clip") bytes; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

measure() {  # label command... ; appends "label wall user sys" (milliseconds resolution)
  local label=$1 TIMEFORMAT="$1 %3R %3U %3S"; shift
  rm -f "$work/copy-out.mkv"
  sync
  { time "$@" >/dev/null 2>&1 </dev/null; } 2>>"$work/copy-times.txt"
}

: >"$work/copy-times.txt"
for i in $(seq "$repeat"); do
  measure ours "$tool" "$clip" "$work/copy-out.mkv" "-c copy"
  measure ffmpeg ffmpeg -y -v error -i "$clip" -c copy "$work/copy-out.mkv"
  tail -n 2 "$work/copy-times.txt" | tr '\n' ' '; echo
done
rm -f "$work/copy-out.mkv"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
stat_of() { awk -v l="$1" -v c="$2" '$1 == l { print $c }' "$work/copy-times.txt" | median; }
ours=$(stat_of ours 2); theirs=$(stat_of ffmpeg 2)
printf '| tool | wall s | user s | sys s |\n|---|---|---|---|\n'
printf '| reelsmith-transcode | %s | %s | %s |\n' "$ours" "$(stat_of ours 3)" "$(stat_of ours 4)"
printf '| ffmpeg | %s | %s | %s |\n' "$theirs" "$(stat_of ffmpeg 3)" "$(stat_of ffmpeg 4)"
awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "wall ratio %.3f\n", a / b }'
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
