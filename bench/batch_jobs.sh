#!/usr/bin/env bash
# Throughput of reelsmith-transcode's batch mode: COUNT short 480p clips (made once) converted
# with --jobs 1 and --jobs 2, against the same list through the ffmpeg tool one file after
# another, the three alternating REPEAT times. With the desktop program given, also the same
# list through it (`reelsmith -v DIR LIST x`, a settings file of its own) with Threads 1 and 2;
# it converts with the options its settings give, printed below the table. Prints the median
# wall time of each and the files per minute; every output is checked to be a complete file.
#   bench/batch_jobs.sh [path/to/reelsmith-transcode] [count] [repeat] [path/to/reelsmith]
set -euo pipefail
tool=${1:-build/tools/reelsmith-transcode}
count=${2:-40}
repeat=${3:-3}
desktop=${4:-}
# The desktop's choices by list position (MKV; video 1 = H.264, audio 1 = AAC).
desktop_video=${REELSMITH_BENCH_DESKTOP_VIDEO:-1}
desktop_audio=${REELSMITH_BENCH_DESKTOP_AUDIO:-1}
opts=${REELSMITH_BENCH_OPTIONS:--c:v libx264 -preset veryfast -crf 23 -c:a aac -b:a 128k}
work=${REELSMITH_BENCH_DIR:-/tmp/reelsmith-bench}/batch
mkdir -p "$work/clips"
: >"$work/list.fls"
for i in $(seq -w 1 "$count"); do
  clip="$work/clips/clip$i.mp4"
  if [ ! -s "$clip" ]; then
    ffmpeg -y -v error -f lavfi -i "testsrc2=size=854x480:rate=25:duration=3" \
      -f lavfi -i "sine=frequency=$((200 + 10#$i * 10)):sample_rate=48000:duration=3" -ac 2 \
      -c:v libx264 -preset veryfast -c:a aac -shortest "$clip" </dev/null
  fi
  echo "$clip" >>"$work/list.fls"
done

seconds() {  # command... ; prints the wall time, or FAILED
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 </dev/null || { echo FAILED; return; }
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f\n", b - a }'
}

one_after_another() {
  local clip
  while read -r clip; do
    # shellcheck disable=SC2086
    ffmpeg -y -v error -i "$clip" $opts "$work/ref/$(basename "$clip" .mp4).mkv" </dev/null || return 1
  done <"$work/list.fls"
}

batch() {  # jobs
  "$tool" --batch "$work/list.fls" --output-dir "$work/jobs$1" --format mkv --jobs "$1" "$opts"
}

desktop_run() {  # threads: the list through the desktop program, unattended, MKV with H.264 and AAC
  local config="$work/config$1"
  mkdir -p "$config/Tarnwick/Reelsmith"
  printf '[Reelsmith]\nUpdate=0\n[Settings]\nVideoFormat2=2\nVideoEncoder2=%d\nAudioEncoder2=%d\nThreads=%d\n' \
    "$desktop_video" "$desktop_audio" $(($1 - 1)) \
    >"$config/Tarnwick/Reelsmith/reelsmith.ini"
  env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$config" XDG_STATE_HOME="$work/state" \
    "$desktop" -v "$work/desk$1" "$work/list.fls" x >"$work/desk$1.log"
}

check() {  # folder: every output is a whole file
  local n=0 f
  for f in "$1"/*.mkv; do
    ffprobe -v error -show_entries format=duration -of csv=p=0 "$f" | grep -q . || { echo "damaged: $f" >&2; exit 1; }
    n=$((n + 1))
  done
  [ "$n" -eq "$count" ] || { echo "$1 holds $n outputs, not $count" >&2; exit 1; }
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

: >"$work/ref.txt"; : >"$work/j1.txt"; : >"$work/j2.txt"; : >"$work/d1.txt"; : >"$work/d2.txt"
for _ in $(seq "$repeat"); do
  rm -rf "$work/ref" "$work/jobs1" "$work/jobs2" "$work/desk1" "$work/desk2"; mkdir -p "$work/ref"
  seconds one_after_another >>"$work/ref.txt"; check "$work/ref"
  seconds batch 1 >>"$work/j1.txt"; check "$work/jobs1"
  seconds batch 2 >>"$work/j2.txt"; check "$work/jobs2"
  if [ -n "$desktop" ]; then
    seconds desktop_run 1 >>"$work/d1.txt"; check "$work/desk1"
    seconds desktop_run 2 >>"$work/d2.txt"; check "$work/desk2"
  fi
done
ref=$(median <"$work/ref.txt"); j1=$(median <"$work/j1.txt"); j2=$(median <"$work/j2.txt")
printf '| way | wall s | files/min | against the reference |\n|---|---|---|---|\n'
rows=("ffmpeg, one after another|$ref" "--jobs 1|$j1" "--jobs 2|$j2")
if [ -n "$desktop" ]; then
  rows+=("desktop, Threads 1|$(median <"$work/d1.txt")" "desktop, Threads 2|$(median <"$work/d2.txt")")
fi
for row in "${rows[@]}"; do
  awk -v n="${row%%|*}" -v s="${row##*|}" -v r="$ref" -v c="$count" \
    'BEGIN { printf "| %s | %.2f | %.1f | %.2fx |\n", n, s, c * 60 / s, r / s }'
done
echo "runs (ref / jobs 1 / jobs 2): $(paste -sd' ' "$work/ref.txt") / $(paste -sd' ' "$work/j1.txt") / $(paste -sd' ' "$work/j2.txt")"
if [ -n "$desktop" ]; then
  echo "desktop runs (Threads 1 / 2): $(paste -sd' ' "$work/d1.txt") / $(paste -sd' ' "$work/d2.txt")"
  echo "desktop options: $(grep -m1 '^Parameters ' "$work/desk1.log" | cut -d' ' -f2-)"
fi
