#!/bin/sh
# Waits until a conversion into FOLDER has a hidden staged output (".NAME.partial-XXXXXX.EXT")
# whose name starts with PREFIX (default "."), larger than SIZE (find's -size, e.g. +100k; "any"
# for any size), and prints its path; with COUNT, also until at least COUNT staged outputs exist.
# Fails after a minute without them: the conversion ended or never began.
#   wait_for_partial.sh FOLDER SIZE [PREFIX [COUNT]]
folder=$1 size=$2 prefix=${3:-.} count=${4:-1}
if [ "$size" = any ]; then set --; else set -- -size "$size"; fi
for _ in $(seq 1200); do
  found=$(find "$folder" -maxdepth 1 -name "$prefix*.partial-*" "$@" | head -n 1)
  staged=$(find "$folder" -maxdepth 1 -name ".*.partial-*" | wc -l)
  [ -n "$found" ] && [ "$staged" -ge "$count" ] && { echo "$found"; exit 0; }
  sleep 0.05
done
echo "wait_for_partial: no staged output in $folder" >&2
exit 1
