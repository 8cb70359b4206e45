#!/usr/bin/env bash
# Whole-run benchmark over scenarios, each a folder with `stdin` (the ten answers) and `seed`.
# Prints per scenario: wall time, generations, deviates drawn, the generator's own time
# for that many deviates (measured in the same process), their ratio, the share of the
# run spent labelling species, and peak memory; then the wall time of the normal build
# (no deviate counter) on the same run.
#
#   bench/run.sh [SCENARIO_DIR]     default: bench/scenarios
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"

scenarios="${1:-$PARASIM_ROOT/bench/scenarios}"
parasim_build "$PARASIM_ROOT/build/bench-count" -DCMAKE_BUILD_TYPE=Release \
  -DPARASIM_COUNT_DEVIATES=ON -DPARASIM_BUILD_TESTS=OFF >/dev/null
parasim_build "$PARASIM_ROOT/build/bench" -DCMAKE_BUILD_TYPE=Release -DPARASIM_BUILD_TESTS=OFF \
  >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
printf '%-14s %8s %5s %12s %9s %7s %8s %9s %10s\n' scenario wall_s gens deviates gen_s \
  ratio cluster peak_MB normal_s
for scenario in "$scenarios"/*/; do
  name="$(basename "$scenario")"
  seed="$(cat "$scenario/seed")"
  (cd "$work" && "$PARASIM_ROOT/build/bench-count/bench/parasim_whole_run" "$seed" \
    < "$scenario/stdin" > "$work/$name.txt")
  start=$(date +%s.%N)
  (cd "$work" && "$PARASIM_ROOT/build/bench/src/app/parasim" --seed "$seed" \
    < "$scenario/stdin" > /dev/null)
  normal=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
  field() { awk -v key="$1" '$1 == key { print $2 }' "$work/$name.txt"; }
  printf '%-14s %8.2f %5d %12d %9.2f %7.3f %7.1f%% %9.1f %10.2f\n' "$name" "$(field wall_seconds)" \
    "$(field generations)" "$(field deviates)" "$(field generator_alone_seconds)" \
    "$(field run_over_generator)" "$(awk -v s="$(field labelling_share)" 'BEGIN { print 100 * s }')" \
    "$(awk -v k="$(field peak_memory_kb)" 'BEGIN { print k / 1024 }')" "$normal"
done
