#!/usr/bin/env bash
# Proves that scripts/check-layers tells includes apart: in a small tree written here, an
# include that points up or sideways fails naming its file, one that points down passes.
#   tests/layers/check_layers_cases.sh ROOT     ROOT holds scripts/check-layers
set -uo pipefail
root=${1:?usage: check_layers_cases.sh ROOT}
check="$root/scripts/check-layers"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# case name | file written | its include | expected: fail or pass
cases=(
  "upward|src/media/x.cpp|app/ui/main_window.h|fail"
  "sideways between windows|src/runs/ui/x.cpp|settings/ui/settings_dialog_hooks.h|fail"
  "window into the main window|src/intake/ui/x.h|app/ui/main_window_hooks.h|fail"
  "downward|src/app/ui/x.cpp|media/ff_decoder.h|pass"
  "beside itself|src/media/x.cpp|x.h|pass"
)

for entry in "${cases[@]}"; do
  IFS='|' read -r name file include expected <<<"$entry"
  tree="$work/$RANDOM$RANDOM"
  mkdir -p "$tree/tools" "$(dirname "$tree/$file")"
  printf '#include "%s"\n' "$include" >"$tree/$file"
  output=$("$check" "$tree" 2>&1)
  status=$?
  if [ "$expected" = fail ]; then
    if [ "$status" -eq 0 ] || ! grep -q "^$file: includes $include" <<<"$output"; then
      echo "FAIL ($name): expected a failure naming $file, got status $status:" >&2
      echo "$output" >&2
      failures=$((failures + 1))
    fi
  elif [ "$status" -ne 0 ]; then
    echo "FAIL ($name): expected a pass, got status $status:" >&2
    echo "$output" >&2
    failures=$((failures + 1))
  fi
done

[ "$failures" -eq 0 ] && echo "check_layers_cases: every case as expected"
exit "$failures"
