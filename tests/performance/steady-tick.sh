#!/usr/bin/env bash
# Fails when a poll tick with steady readings costs more instructions than
# BOUND, counted by callgrind over both threads, the window's and the bus
# thread (so the machine's load doesn't matter): the
# built program on the simulated chip with its readings held, in its own
# Xvfb, median of 20 ticks after 10 warm-up ticks.
#
#   steady-tick.sh CORVANE_BENCH BOUND

set -euo pipefail
source "$(dirname "$0")/../system-tools.sh"
require_tools valgrind Xvfb

program=$1 bound=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
source "$here/../../scripts/lib/xvfb.sh"
xvfb_pid=
trap 'kill $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT
start_xvfb "$work"
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work"

instructions=$("$here/../../bench/callgrind-ticks.sh" "$work/callgrind" 'BenchSession::Timer1_Timer*' 10 20 \
  "$program" --simulate --hold-readings)
echo "A steady poll tick costs $instructions instructions (bound $bound)."
[ "$instructions" -le "$bound" ]
