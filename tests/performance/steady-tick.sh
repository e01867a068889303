#!/usr/bin/env bash
# Fails when a poll tick with steady readings costs more instructions than
# BOUND, counted by callgrind (so the machine's load doesn't matter): the
# built program on the simulated chip with its readings held, in its own
# Xvfb, median of 20 ticks after 10 warm-up ticks.
#
#   steady-tick.sh CORVANE_BENCH BOUND

set -euo pipefail

program=$1 bound=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start." >&2; exit 1; }
export DISPLAY=":$(head -1 "$work/display")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work"

instructions=$("$here/../../bench/callgrind-ticks.sh" "$work/callgrind" 'Form1::Timer1_Timer*' 10 20 \
  "$program" --simulate --hold-readings)
echo "A steady poll tick costs $instructions instructions (bound $bound)."
[ "$instructions" -le "$bound" ]
