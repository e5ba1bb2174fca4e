#!/usr/bin/env bash
# Whole-process timing of spelkub_rader on the largest systems, medians in
# seconds, with peak memory; the full 13-match file beside its floor, `dd
# bs=4M conv=fsync` of the same bytes, timed in the same loop, and the ratio.
# Uses hyperfine when it is installed, else a plain loop.
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
  "floor: dd bs=4M conv=fsync of the same bytes"
  "full 14-match system to a file"
  "full 13-match system, guarantee 12, to a file"
  "full 13-match system to standard output"
)
commands=(
  "$rader -o $work/full13.txt $full13"
  "dd if=$work/reference13.txt of=$work/dd13.txt bs=4M conv=fsync status=none"
  "$rader --game supertoto -o $work/full14.txt $full14"
  "$rader --guarantee 12 -o $work/g12.txt $full13"
  "$rader $full13"
)
$rader -o "$work/reference13.txt" $full13

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

# The two commands alternate run by run, so both meet the same machine.
time_runs() {
  for ((r = 0; r <= runs; r++)); do
    for i in "$@"; do
      start=$(date +%s%N)
      ${commands[$i]} > /dev/null 2>&1
      end=$(date +%s%N)
      ((r > 0)) && echo "$i $(echo "scale=6; ($end - $start) / 1000000000" | bc)"  # run 0 warms up
    done
  done > "$work/times"
}

peak_kb() {
  if [[ -x /usr/bin/time ]]; then
    /usr/bin/time -f %M ${commands[$1]} 2>&1 > /dev/null | tail -1
  else
    echo "?"
  fi
}

echo "spelkub_rader: $rader, $runs runs each"
declare -A value
time_runs 0 1
for i in 0 1; do value[$i]=$(awk -v i="$i" '$1 == i { print $2 }' "$work/times" | median); done
for i in 2 3 4; do
  if command -v hyperfine > /dev/null; then
    hyperfine --warmup 1 --runs "$runs" --style none --export-json "$work/run.json" \
      --output null "${commands[$i]}" > /dev/null 2>&1
    value[$i]=$(jq -r '.results[0].times[]' "$work/run.json" | median)
  else
    time_runs "$i"
    value[$i]=$(awk '{ print $2 }' "$work/times" | median)
  fi
done
for i in "${!commands[@]}"; do
  printf '%-48s median %.3f s  peak %6s KB  (%s)\n' "${names[$i]}" "${value[$i]}" \
    "$(peak_kb "$i")" "${commands[$i]//$work/TMP}"
done
printf 'full 13-match file / dd floor: %.2f\n' "$(echo "scale=6; ${value[0]} / ${value[1]}" | bc)"
