#!/usr/bin/env bash
#SBATCH --job-name=reelsmith
#SBATCH --cpus-per-task=2
#SBATCH --output=reelsmith-%A_%a.out
# One task of a Slurm array job: converts its share of a list of media files with
# reelsmith-transcode's batch mode, into one output folder on storage every node sees.
#
#   sbatch --array=0-99 scripts/scale-out/slurm-array.sh LIST OUTPUT_DIR [EXT] [OPTION STRING]
#
# LIST holds one absolute path a line. Task i of n takes lines i+1, i+1+n, i+1+2n, ... (so
# long and short files spread evenly whatever the list's order), i counted from the array's
# first task. Each task converts half as many files at once as it has cores (each file's
# encoder runs threads of its own; REELSMITH_JOBS overrides it); REELSMITH_TRANSCODE names the
# tool when it is not on the path. Submitting the
# same array again after a crash converts only what is missing: finished outputs are skipped,
# and parts left by killed tasks are removed by the next conversion into their folder. To run
# again only some tasks of an array of n (--array=3,17), give the original split with
# REELSMITH_SHARES=n (and REELSMITH_FIRST_TASK when the array did not start at 0).
#
# The task's exit status: 0 when every file of its share is converted or was already there,
# 1 when a file failed (its line in the task's output names the reason), 2 on a usage error.
set -uo pipefail

if [ $# -lt 2 ]; then
  echo "usage: sbatch --array=0-N $0 LIST OUTPUT_DIR [EXT] [OPTION STRING]" >&2
  exit 2
fi
list=$1 out=$2 ext=${3:-mkv} options=${4:-}
task=${SLURM_ARRAY_TASK_ID:?not started as a task of an array job}
count=${REELSMITH_SHARES:-${SLURM_ARRAY_TASK_COUNT:?not started as a task of an array job}}
index=$((task - ${REELSMITH_FIRST_TASK:-${SLURM_ARRAY_TASK_MIN:-0}}))
cpus=${SLURM_CPUS_PER_TASK:-2}
jobs=${REELSMITH_JOBS:-$((cpus > 3 ? cpus / 2 : 1))}
tool=${REELSMITH_TRANSCODE:-reelsmith-transcode}

if [ "$index" -lt 0 ] || [ "$index" -ge "$count" ]; then
  echo "task $task is outside the array's $count tasks" >&2
  exit 2
fi

share=$(awk -v n="$count" -v i="$index" '{ sub(/\r$/, "") } $0 != "" && (NR - 1) % n == i' "$list") || exit 2
if [ -z "$share" ]; then
  echo "task $task: no file of the list is this task's"
  exit 0
fi

lines=$(mktemp) || exit 2
trap 'rm -f "$lines"' EXIT
printf '%s\n' "$share" |
  "$tool" --batch - --output-dir "$out" --format "$ext" --jobs "$jobs" ${options:+"$options"} | tee "$lines"
status=${PIPESTATUS[1]}
# The tool counts a file kept from an earlier run as not converted (status 1); for a rerun
# that is the point, so only a failed file makes the task fail.
if [ "$status" -eq 1 ] && ! grep -q '^failed' "$lines"; then
  status=0
fi
exit "$status"
