#!/usr/bin/env bash
# Whole-process timing of spelkub_rader on the largest systems, medians in
# seconds. Uses hyperfine when it is installed, else a plain loop.
#
#   bash bench/cli_bench.sh [PATH_TO_spelkub_rader] [RUNS]
set -euo pipefail

rader=${1:-"$(dirname "$0")/../build-cli/cli/spelkub_rader"}
runs=${2:-10}
[[ -x $rader ]] || { echo "no executable at $rader" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

full13="1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2"
full14="$full13 1X2"
names=(
  "full 13-match system to a file"
  "full 14-match system to a file"
  "full 13-match system, guarantee 12, to a file"
  "full 13-match system to standard output"
)
commands=(
  "$rader -o $work/full13.txt $full13"
  "$rader --game supertoto -o $work/full14.txt $full14"
  "$rader --guarantee 12 -o $work/g12.txt $full13"
  "$rader $full13"
)

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

echo "spelkub_rader: $rader, $runs runs each"
for i in "${!commands[@]}"; do
  cmd=${commands[$i]}
  if command -v hyperfine > /dev/null; then
    hyperfine --warmup 1 --runs "$runs" --style none --export-json "$work/run.json" \
      --output null "$cmd" > /dev/null 2>&1
    value=$(jq -r '.results[0].times[]' "$work/run.json" | median)
  else
    for ((r = 0; r <= runs; r++)); do
      start=$(date +%s%N)
      $cmd > /dev/null 2>&1
      end=$(date +%s%N)
      ((r > 0)) && echo "scale=6; ($end - $start) / 1000000000" | bc  # first run warms up
    done > "$work/times"
    value=$(median < "$work/times")
  fi
  printf '%-48s median %.3f s   (%s)\n' "${names[$i]}" "$value" "${cmd//$work/TMP}"
done
