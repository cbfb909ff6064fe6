#!/usr/bin/env bash
# The scale-out recipes of docs/scale-out.md, run on this machine.
#   scale_out.sh parallel TOOL   GNU parallel, four local workers, one file a job; one worker
#                                is killed mid-file and the same command is run again
#   scale_out.sh slurm TOOL      the Slurm array script, two tasks started by hand
# Exit 77 (skipped) when GNU parallel is not installed.
set -uo pipefail
mode=$1 tool=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out="$work/out"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

clip() {  # name seconds
  ffmpeg -nostdin -y -v error -f lavfi -i "testsrc=size=160x120:rate=25:duration=$2" \
    -f lavfi -i "sine=frequency=440:duration=$2" -c:v mpeg4 -c:a aac -shortest "$work/src/$1.mp4" ||
    { echo "cannot make $1.mp4" >&2; exit 1; }
}

# Every output decodes to its end without an error and lasts as long as its source.
check_output() {  # name seconds
  local file="$out/$1.mkv" errors duration
  [ -f "$file" ] || { fail "$1.mkv is missing"; return; }
  errors=$(ffmpeg -nostdin -v error -xerror -i "$file" -f null - 2>&1) || fail "$1.mkv does not decode: $errors"
  [ -z "$errors" ] || fail "$1.mkv decodes with errors: $errors"
  duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$file")
  awk -v d="$duration" -v s="$2" 'BEGIN { exit !(d > s - 0.15 && d < s + 0.15) }' ||
    fail "$1.mkv lasts ${duration}s, not $2s"
}

no_parts_left() {
  local parts
  parts=$(find "$out" -name '.*partial-*')
  [ -z "$parts" ] || fail "staged parts left: $parts"
}

# The files the tool converted, by the lines it printed ("converted<TAB>SOURCE<TAB>OUTPUT").
converted() { awk -F '\t' '$1 == "converted" { print $2 }' "$@" | sort; }
mtimes() { find "$out" -name '[!.]*.mkv' -printf '%f %T@\n' | sort; }

# The process that has FILE open, when it is the tool (one find over every descriptor).
holder_of() {
  local fd pid
  for fd in $(find /proc/[0-9]*/fd -maxdepth 1 -lname "$1" 2>/dev/null); do
    pid=${fd#/proc/}; pid=${pid%%/*}
    [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$tool" ] && { echo "$pid"; return; }
  done
}

parallel_case() {
  if ! command -v parallel >/dev/null; then
    echo "SKIPPED: GNU parallel is not installed (Debian package \"parallel\"); scripts/install-deps installs it"
    exit 77
  fi
  mkdir -p "$work/src" "$out"
  local names=(a b c d e f g) name
  clip a 1
  for name in "${names[@]:1}"; do cp "$work/src/a.mp4" "$work/src/$name.mp4"; done
  clip long 8
  # -re reads each input at its own pace: the long file is still being written when the
  # killer finds it, however fast the machine (its part exists from the start; its first bytes come later).
  export TOOL="$tool" OUT="$out"
  run() {  # report file, more options of parallel
    local report=$1; shift
    parallel -j 4 --joblog "$work/jobs.log" "$@" \
      'printf "%s\n" {} | "$TOOL" --batch - --output-dir "$OUT" --format mkv --input-options -re "-c:v mpeg4 -c:a aac"' \
      ::: "$work"/src/*.mp4 >"$report" 2>"$report.err"
  }

  run "$work/run1.txt" & local parallel_pid=$!
  local part pid
  part=$("$root/tests/support/wait_for_partial.sh" "$out" any .long) || { fail "the long file was never staged"; wait; return; }
  pid=$(holder_of "$part")
  [ -n "$pid" ] || { fail "no tool process holds $part"; wait; return; }
  kill -KILL "$pid"
  wait "$parallel_pid"; local status=$?
  [ "$status" -eq 1 ] || fail "first run: parallel says $status failed jobs, not 1: $(cat "$work/run1.txt.err")"
  [ ! -e "$out/long.mkv" ] || fail "the killed worker's file was finished: $(cat "$work/jobs.log" "$work/run1.txt")"
  [ -e "$part" ] || echo "note: the killed worker's part is gone already: $(ls -a "$out")"
  [ "$(converted "$work/run1.txt" | wc -l)" -eq 7 ] || fail "first run converted: $(converted "$work/run1.txt")"
  local before; before=$(mtimes)

  # The same command again: only the job that did not end well runs, and finishes the file.
  run "$work/run2.txt" --resume-failed || fail "second run: $(cat "$work/run2.txt" "$work/run2.txt.err")"
  [ "$(converted "$work/run2.txt")" = "$work/src/long.mp4" ] ||
    fail "second run converted: $(converted "$work/run2.txt")"
  [ "$(mtimes | grep -v '^long.mkv ')" = "$before" ] || fail "a finished output was written again"
  [ "$(awk 'NR > 1 && $7 == 0 && $8 == 0' "$work/jobs.log" | wc -l)" -eq 8 ] ||
    fail "the job log does not show every file done once: $(cat "$work/jobs.log")"
  no_parts_left
  for name in "${names[@]}"; do check_output "$name" 1; done
  check_output long 8

  # A rerun that lost its job log: every file is there, so every one is skipped, none written.
  before=$(mtimes)
  rm "$work/jobs.log"
  run "$work/run3.txt"
  [ -z "$(converted "$work/run3.txt")" ] || fail "third run converted: $(converted "$work/run3.txt")"
  [ "$(grep -c '^skipped' "$work/run3.txt")" -eq 8 ] || fail "third run: $(cat "$work/run3.txt")"
  [ "$(mtimes)" = "$before" ] || fail "the third run wrote an output"
}

slurm_case() {
  local script="$root/scripts/scale-out/slurm-array.sh" name task
  bash -n "$script" || fail "slurm-array.sh does not parse"
  mkdir -p "$work/src"
  clip a 1
  for name in b c d e; do cp "$work/src/a.mp4" "$work/src/$name.mp4"; done
  printf '%s\n' "$work"/src/*.mp4 >"$work/list.txt"
  for task in 0 1; do
    SLURM_ARRAY_TASK_ID=$task SLURM_ARRAY_TASK_COUNT=2 SLURM_CPUS_PER_TASK=4 REELSMITH_TRANSCODE="$tool" \
      "$script" "$work/list.txt" "$out" mkv "-c:v mpeg4 -c:a aac" >"$work/task$task.txt" 2>&1 ||
      fail "task $task: $(cat "$work/task$task.txt")"
  done
  # Each task takes every second line of the list.
  [ "$(converted "$work/task0.txt" | tr '\n' ' ')" = "$work/src/a.mp4 $work/src/c.mp4 $work/src/e.mp4 " ] ||
    fail "task 0 converted: $(converted "$work/task0.txt")"
  [ "$(converted "$work/task1.txt" | tr '\n' ' ')" = "$work/src/b.mp4 $work/src/d.mp4 " ] ||
    fail "task 1 converted: $(converted "$work/task1.txt")"
  for name in a b c d e; do check_output "$name" 1; done
  no_parts_left
  # Task 1 alone again (--array=1, the split of two kept), one of its outputs lost meanwhile:
  # it converts that one, skips the other and ends well.
  rm "$out/d.mkv"
  SLURM_ARRAY_TASK_ID=1 SLURM_ARRAY_TASK_COUNT=1 SLURM_ARRAY_TASK_MIN=1 REELSMITH_SHARES=2 REELSMITH_FIRST_TASK=0 \
    REELSMITH_TRANSCODE="$tool" "$script" "$work/list.txt" "$out" mkv "-c:v mpeg4 -c:a aac" >"$work/again.txt" 2>&1 ||
    fail "task 1 again: $(cat "$work/again.txt")"
  [ "$(converted "$work/again.txt")" = "$work/src/d.mp4" ] && [ "$(grep '^skipped' "$work/again.txt" | cut -f2)" = "$work/src/b.mp4" ] ||
    fail "task 1 again: $(cat "$work/again.txt")"
  check_output d 1
}

case $mode in
parallel) parallel_case ;;
slurm) slurm_case ;;
*) echo "usage: $0 parallel|slurm TOOL" >&2; exit 2 ;;
esac
[ "$failures" -eq 0 ] || exit 1
echo "passed"
