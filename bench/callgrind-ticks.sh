#!/usr/bin/env bash
# Counts the instructions one tick of a timer-driven Qt program costs, with
# callgrind: a profile is dumped each time the tick function is entered, so
# each dump holds exactly one tick's whole cycle (the tick, the repaint, the
# flush to the X server, the idle loop). Warm-up ticks are skipped; prints
# the median over the next COUNT ticks (the mean with TICK_STATISTIC=mean,
# for work done on some ticks only). Needs DISPLAY.
#
#   callgrind-ticks.sh OUT_DIR TICK_FUNCTION SKIP COUNT PROGRAM [ARGUMENTS...]

set -euo pipefail

out=$1 tick_function=$2 skip=$3 count=$4
shift 4
rm -rf "$out"
mkdir -p "$out"

valgrind --tool=callgrind --dump-before="$tick_function" --callgrind-out-file="$out/cg" \
  --dump-instr=no --collect-jumps=no "$@" >"$out/program.log" 2>&1 &
profiled=$!
needed=$((skip + count + 1))
for _ in $(seq 1200); do
  dumps=$(find "$out" -name 'cg.*' | wc -l)
  [ "$dumps" -ge "$needed" ] && break
  kill -0 "$profiled" 2>/dev/null || break
  sleep 0.1
done
kill -TERM "$profiled" 2>/dev/null || true
# A program that does not end on SIGTERM is a fault to see, not a bench
# that never finishes.
for _ in $(seq 100); do
  kill -0 "$profiled" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$profiled" 2>/dev/null; then
  echo "callgrind-ticks: $5 still ran 10 s after SIGTERM; killed" >&2
  kill -KILL "$profiled" 2>/dev/null || true
fi
wait "$profiled" 2>/dev/null || true

dumps=$(find "$out" -name 'cg.*' | wc -l)
if [ "$dumps" -lt "$needed" ]; then
  echo "callgrind-ticks: only $dumps of $needed tick dumps from $1 (log: $out/program.log)" >&2
  exit 1
fi
# Dump N (cg.N) is written on entering tick N and holds the cycle before it.
for ((n = skip + 2; n <= skip + count + 1; n++)); do
  sed -n 's/^summary: *\([0-9]*\).*/\1/p; s/^totals: *\([0-9]*\).*/\1/p' "$out/cg.$n" | head -1
done | sort -n | awk -v statistic="${TICK_STATISTIC:-median}" '
  { v[NR] = $1; sum += $1 }
  END { if (statistic == "mean") printf "%d\n", sum / NR; else print v[int((NR + 1) / 2)] }'
