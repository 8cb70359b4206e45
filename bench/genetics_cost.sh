#!/usr/bin/env bash
# What the history's genetics tables cost: each scenario run with --history alone and with
# --history and --genetics-every G (default 10), one after the other, REPEAT times (default 7),
# so that both meet the same load on a shared machine. Prints per scenario the median wall time
# of each, the ratio of the medians, and the smallest and largest ratio of one pair of runs.
#
#   [REPEAT=N] [EVERY=G] bench/genetics_cost.sh [SCENARIO_DIR]     default: bench/scenarios
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"

scenarios="${1:-$PARASIM_ROOT/bench/scenarios}"
repeat="${REPEAT:-7}"
every="${EVERY:-10}"
parasim_build "$PARASIM_ROOT/build/bench" -DCMAKE_BUILD_TYPE=Release -DPARASIM_BUILD_TESTS=OFF \
  >/dev/null
parasim="$PARASIM_ROOT/build/bench/src/app/parasim"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
seconds_of() {
  local start
  start=$(date +%s.%N)
  (cd "$work" && rm -rf history && "$parasim" --seed "$1" "${@:2}" < "$scenario/stdin" >/dev/null)
  awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }'
}
printf '%-14s %10s %12s %7s %17s\n' scenario history_s genetics_s ratio "(min ... max)"
for scenario in "$scenarios"/*/; do
  name="$(basename "$scenario")"
  seed="$(cat "$scenario/seed")"
  : > "$work/$name.rows"
  for ((run = 1; run <= repeat; run++)); do
    plain=$(seconds_of "$seed" --history history)
    genetics=$(seconds_of "$seed" --history history --genetics-every "$every")
    echo "$plain $genetics" >> "$work/$name.rows"
  done
  middle=$(( (repeat + 1) / 2 ))
  plain=$(cut -d' ' -f1 "$work/$name.rows" | sort -g | sed -n "${middle}p")
  genetics=$(cut -d' ' -f2 "$work/$name.rows" | sort -g | sed -n "${middle}p")
  ratios=$(awk '{ print $2 / $1 }' "$work/$name.rows" | sort -g)
  printf '%-14s %10.3f %12.3f %7.3f (%5.3f ... %5.3f)\n' "$name" "$plain" "$genetics" \
    "$(awk -v p="$plain" -v g="$genetics" 'BEGIN { print g / p }')" \
    "$(head -1 <<< "$ratios")" "$(tail -1 <<< "$ratios")"
done
