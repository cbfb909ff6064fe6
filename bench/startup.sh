#!/usr/bin/env bash
# Start-up: the libraries loaded and a one-frame file converted (160x120 MPEG-4 into MKV,
# -c:v mpeg4), reelsmith-transcode against the ffmpeg tool, alternating the two REPEAT times.
# Prints the median wall, user and system time of each and the difference of the medians.
#   bench/startup.sh [path/to/reelsmith-transcode] [repeat]
set -euo pipefail
tool=${1:-build/release/tools/reelsmith-transcode}
repeat=${2:-21}
work=${REELSMITH_BENCH_DIR:-/tmp/reelsmith-bench}
mkdir -p "$work"
clip="$work/oneframe.mp4"
[ -s "$clip" ] || ffmpeg -y -v error -f lavfi -i testsrc=size=160x120:rate=25 -frames:v 1 -c:v mpeg4 "$clip" </dev/null
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

measure() {  # label command... ; appends "label wall user sys" (milliseconds)
  local label=$1 TIMEFORMAT="$1 %3R %3U %3S"; shift
  rm -f "$work/oneframe-out.mkv"
  { time "$@" >/dev/null 2>&1 </dev/null; } 2>>"$work/startup-times.txt"
}

: >"$work/startup-times.txt"
# One run of each first, so that both find the libraries in the page cache.
measure warm "$tool" "$clip" "$work/oneframe-out.mkv" "-c:v mpeg4"
measure warm ffmpeg -y -v error -i "$clip" -c:v mpeg4 "$work/oneframe-out.mkv"
for _ in $(seq "$repeat"); do
  measure ours "$tool" "$clip" "$work/oneframe-out.mkv" "-c:v mpeg4"
  measure ffmpeg ffmpeg -y -v error -i "$clip" -c:v mpeg4 "$work/oneframe-out.mkv"
done
rm -f "$work/oneframe-out.mkv"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
stat_of() { awk -v l="$1" -v c="$2" '$1 == l { print $c * 1000 }' "$work/startup-times.txt" | median; }
ours=$(stat_of ours 2); theirs=$(stat_of ffmpeg 2)
printf '| tool | wall ms | user ms | sys ms |\n|---|---|---|---|\n'
printf '| reelsmith-transcode | %s | %s | %s |\n' "$ours" "$(stat_of ours 3)" "$(stat_of ours 4)"
printf '| ffmpeg | %s | %s | %s |\n' "$theirs" "$(stat_of ffmpeg 3)" "$(stat_of ffmpeg 4)"
echo "difference of the wall medians: $((ours - theirs)) ms"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
