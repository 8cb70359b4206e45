#!/usr/bin/env bash
# Time per generation against population size: one run that grows from the three
# founders to about 50,000 parasites, timed generation by generation; then the peak
# memory of a run of 50,000 parasites with genome size 1,000. Writes the table to
# docs/performance-scaling.csv and the figure to docs/performance-scaling.png.
#
#   bench/scaling.sh
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"

parasim_build "$PARASIM_ROOT/build/bench" -DCMAKE_BUILD_TYPE=Release -DPARASIM_BUILD_TESTS=OFF \
  >/dev/null
driver="$PARASIM_ROOT/build/bench/bench/parasim_whole_run"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# One host of capacity 50,000 and a wide survival curve: the population about doubles
# every generation until it fills the host.
printf '%s\n' 64 0.05 0.002 2 0.0 1 0.5 50000 2.0 19 > "$work/growth.txt"
(cd "$work" && "$driver" 2024 "$PARASIM_ROOT/docs/performance-scaling.csv" < growth.txt)

printf '%s\n' 1000 0.05 0.002 2 0.0 1 0.5 50000 2.0 18 > "$work/memory.txt"
echo "== genome size 1000, up to 50,000 parasites"
(cd "$work" && "$driver" 2024 < memory.txt)

/usr/bin/python3 "$PARASIM_ROOT/bench/plot_scaling.py" "$PARASIM_ROOT/docs/performance-scaling.csv" \
  "$PARASIM_ROOT/docs/performance-scaling.png"
