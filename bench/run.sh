#!/usr/bin/env bash
# Whole-run benchmark over scenarios, each a folder with `stdin` (the ten answers) and `seed`.
# Prints per scenario: wall time, generations, deviates drawn, the generator's own time
# for that many deviates (measured in the same process), their ratio, the share of the
# run spent labelling species, and peak memory; then the wall time of the normal build
# (no deviate counter) on the same run.
#
# On a shared machine one run says little: REPEAT=N runs every scenario N times and
# prints the run with the median ratio, with the smallest and largest ratio beside it.
# PARASIM_VECTORS=portable and PARASIM_STREAM=sequential force the slower paths of the
# kernels and the deviate stream (docs/performance.md).
#
#   [REPEAT=N] bench/run.sh [SCENARIO_DIR]     default: bench/scenarios
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"

scenarios="${1:-$PARASIM_ROOT/bench/scenarios}"
repeat="${REPEAT:-1}"
parasim_build "$PARASIM_ROOT/build/bench-count" -DCMAKE_BUILD_TYPE=Release \
  -DPARASIM_COUNT_DEVIATES=ON -DPARASIM_BUILD_TESTS=OFF >/dev/null
parasim_build "$PARASIM_ROOT/build/bench" -DCMAKE_BUILD_TYPE=Release -DPARASIM_BUILD_TESTS=OFF \
  >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
printf '%-14s %8s %5s %12s %9s %7s %8s %9s %10s %s\n' scenario wall_s gens deviates gen_s \
  ratio cluster peak_MB normal_s "$([ "$repeat" -gt 1 ] && echo "ratios (of $repeat)")"
for scenario in "$scenarios"/*/; do
  name="$(basename "$scenario")"
  seed="$(cat "$scenario/seed")"
  : > "$work/$name.rows"
  for ((run = 1; run <= repeat; run++)); do
    (cd "$work" && "$PARASIM_ROOT/build/bench-count/bench/parasim_whole_run" "$seed" \
      < "$scenario/stdin" > "$work/$name.txt")
    start=$(date +%s.%N)
    (cd "$work" && "$PARASIM_ROOT/build/bench/src/app/parasim" --seed "$seed" \
      < "$scenario/stdin" > /dev/null)
    normal=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
    field() { awk -v key="$1" '$1 == key { print $2 }' "$work/$name.txt"; }
    printf '%s %s %s %s %s %s %s %s\n' "$(field run_over_generator)" "$(field wall_seconds)" \
      "$(field generations)" "$(field deviates)" "$(field generator_alone_seconds)" \
      "$(field labelling_share)" "$(field peak_memory_kb)" "$normal" >> "$work/$name.rows"
  done
  sort -g "$work/$name.rows" | awk -v name="$name" -v repeat="$repeat" '
    { row[NR] = $0; ratio[NR] = $1 }
    END {
      split(row[int((NR + 1) / 2)], f, " ")
      printf "%-14s %8.2f %5d %12.0f %9.2f %7.3f %7.1f%% %9.1f %10.2f", name, f[2], f[3], f[4], f[5],
        f[1], 100 * f[6], f[7] / 1024, f[8]
      if (repeat > 1) printf " %.3f ... %.3f", ratio[1], ratio[NR]
      printf "\n"
    }'
done
