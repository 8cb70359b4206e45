#!/usr/bin/env bash
# Two versions of parasim on the same scenarios in one session: this tree and another one
# (for example main, exported with `git archive main | tar -x -C DIR`). Their whole-run
# drivers (built with the deviate counter) run in turn, REPEAT times (default 9), so that
# both meet the same load on a shared machine. Prints per scenario and version the median
# ratio of run to generator alone, the smallest and largest, and the wall time, deviates
# and generator time of the run of median ratio.
#
#   [REPEAT=N] bench/compare.sh OTHER_TREE [SCENARIO_DIR]     default: bench/scenarios
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"

other="$(cd "$1" && pwd)"
scenarios="${2:-$PARASIM_ROOT/bench/scenarios}"
repeat="${REPEAT:-9}"
parasim_build "$PARASIM_ROOT/build/bench-count" -DCMAKE_BUILD_TYPE=Release \
  -DPARASIM_COUNT_DEVIATES=ON -DPARASIM_BUILD_TESTS=OFF >/dev/null
cmake -S "$other" -B "$PARASIM_ROOT/build/other-count" -DCMAKE_BUILD_TYPE=Release \
  -DPARASIM_COUNT_DEVIATES=ON -DPARASIM_BUILD_TESTS=OFF >/dev/null
cmake --build "$PARASIM_ROOT/build/other-count" --target parasim_whole_run \
  --parallel "$PARASIM_JOBS" >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
declare -A driver=([other]="$PARASIM_ROOT/build/other-count/bench/parasim_whole_run"
                   [this]="$PARASIM_ROOT/build/bench-count/bench/parasim_whole_run")
for ((run = 1; run <= repeat; run++)); do
  for scenario in "$scenarios"/*/; do
    name="$(basename "$scenario")"
    for version in other this; do
      (cd "$work" && "${driver[$version]}" "$(cat "$scenario/seed")" < "$scenario/stdin") |
        awk '$1 == "run_over_generator" { r = $2 } $1 == "wall_seconds" { w = $2 }
             $1 == "deviates" { d = $2 } $1 == "generator_alone_seconds" { g = $2 }
             END { print r, w, d, g }' >> "$work/$name.$version"
    done
  done
done
printf '%-14s %-6s %7s %15s %8s %14s %8s\n' scenario tree ratio "(min ... max)" wall_s deviates gen_s
for scenario in "$scenarios"/*/; do
  name="$(basename "$scenario")"
  for version in other this; do
    sort -g "$work/$name.$version" | awk -v name="$name" -v version="$version" '
      { row[NR] = $0; ratio[NR] = $1 }
      END {
        split(row[int((NR + 1) / 2)], f, " ")
        printf "%-14s %-6s %7.3f (%5.3f ... %5.3f) %8.2f %14.0f %8.2f\n", name, version, f[1],
          ratio[1], ratio[NR], f[2], f[3], f[4]
      }'
  done
done
