#!/usr/bin/env bash
# record on a disk that fills for four seconds and empties again, with the
# chip silent part of that time (a fault plan): the recording goes on in the
# same file, the rows of the full stretch are counted lost and said, the
# file holds whole rows only, and the "no reading" alarm that started and
# ended while the disk was full has both its rows once there is room.
#
#   record-disk-full.sh CORVANE_BENCH SOAK_SHIM SOAK_CLOCK

set -uo pipefail
program=$1 shim=$2 clock=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/disk"
control="$work/control"
printf '%+011d %d\n' 0 0 >"$control"
full() { printf '%+011d %d\n' 0 "$1" | dd of="$control" conv=notrunc status=none; }
fail() { echo "FAILED: $*"; echo "--- stderr:"; cat "$work/err"; exit 1; }

preload=$shim
if ldd "$program" | grep -q libasan; then
  preload="$(ldd "$program" | awk '/libasan/ {print $3}'):$shim"
  export ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0"
fi

# Silent 1 s in every 3: at least one whole silent second falls in the
# four full seconds, whatever the phase. record refuses to start on a chip
# that does not answer, as it would on hardware: started again then.
for attempt in 1 2 3 4; do
  CORVANE_SOAK_CONTROL="$control" CORVANE_SOAK_FULL_DIR="$work/disk" LD_PRELOAD="$preload" \
    QT_LOGGING_RULES="corvane.stats.info=true" \
    "$program" record "$work/disk/run.csv" --simulate-faults "silent=1s/3s,seed=3" --limit 'local_c<=200' 2>"$work/err" &
  pid=$!
  sleep 1.5
  kill -0 $pid 2>/dev/null && break
  wait $pid
  grep -q 'does not answer' "$work/err" || fail "record ended early"
  [ "$attempt" -lt 4 ] || fail "record never started"
done
full 1
sleep 4
full 0
sleep 1.5
kill -INT $pid
wait $pid
status=$?
# 5: a limit was passed, as "no reading" passes one.
[ "$status" -eq 5 ] || fail "record exited $status"

grep -q 'the disk is full; rows are lost until there is room' "$work/err" || fail "the full disk was not said"
grep -q 'there is room again; [0-9]* rows lost while the disk was full (' "$work/err" || fail "the room was not said"
polls=$(grep -o '[0-9]* readings polls' "$work/err" | awk '{print $1}')
rows=$(grep -o '^Recorded [0-9]* rows' "$work/err" | awk '{print $2}')
lost=$(grep '^Recorded' "$work/err" | grep -o '[0-9]* rows lost while the disk was full' | awk '{print $1}')
[ -n "$polls" ] && [ -n "$rows" ] && [ -n "$lost" ] || fail "no counts: polls '$polls' rows '$rows' lost '$lost'"
[ $((rows + lost)) -eq "$polls" ] || fail "$polls polls, but $rows rows and $lost lost"
[ "$lost" -ge 30 ] && [ "$lost" -le 45 ] || fail "$lost rows lost in 4 s of a full disk"
[ $(($(wc -l <"$work/disk/run.csv") - 1)) -eq "$rows" ] || fail "the file has not the $rows rows said"
fields=$(awk -F, 'NR == 1 { n = NF } NF != n { bad++ } END { print bad + 0 }' "$work/disk/run.csv")
[ "$fields" -eq 0 ] || fail "$fields rows of the file are not whole"
alarms="$work/disk/run.csv.alarms.csv"
[ -f "$alarms" ] || fail "no alarms file"
read -r starts ends < <(awk -F, '{ sub(/\r$/, "") } $3 == "no reading" && $5 == "start" { s++ } $3 == "no reading" && $5 ~ /^end/ { e++ }
  END { print s + 0, e + 0 }' "$alarms")
[ "$starts" -ge 1 ] && [ "$starts" -eq "$ends" ] || { cat "$alarms"; fail "$starts no-reading starts, $ends ends"; }
echo "record: $polls polls, $rows rows, $lost lost on the full disk; $starts no-reading alarms, each with its end"
