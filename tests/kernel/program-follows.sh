#!/bin/busybox sh
# Runs inside the virtual machine after the checks: the program itself,
# serving the chip's metrics from the i801 adapter, whose file it holds
# open, while that adapter is unbound and bound again, and then comes back
# under another number because the stub, which the program does not hold,
# was reloaded meanwhile. Prints one line per check and a verdict.

failures=0
check() { # STATUS WHAT [DETAIL]
  if [ "$1" = 0 ]; then echo "PASS $2${3:+: $3}"; else echo "FAIL $2${3:+: $3}"; failures=$((failures + 1)); fi
}
passed() { "$@" >/dev/null 2>&1; echo $?; }
uptime_ms() { awk '{ printf "%d", $1 * 1000 }' /proc/uptime; }
name="SMBus I801 adapter at 0700"
number_of() {
  for adapter in /sys/bus/i2c/devices/i2c-*; do
    [ "$(cat "$adapter/name")" = "$1" ] && { echo "${adapter##*-}"; return; }
  done
}
holds() { ls -l "/proc/$serve/fd" 2>/dev/null | grep -q "/dev/i2c-$1\$"; }
driver=/sys/bus/pci/drivers/i801_smbus
first=$(number_of "$name")
slot=$(basename "$(readlink -f "/sys/bus/i2c/devices/i2c-$first/..")")

# The guest's loopback, for /metrics.
ip link set lo up 2>/dev/null || ifconfig lo 127.0.0.1 up
mkdir -p /tmp/runtime
export HOME=/tmp XDG_RUNTIME_DIR=/tmp/runtime
/app/corvane-bench serve --smbus "$name" --listen 127.0.0.1:10127 2>/tmp/serve.err &
serve=$!
sleep 3
check "$(passed wget -q -O /tmp/metrics http://127.0.0.1:10127/metrics)" "serve answers from the i801 adapter" \
  "$(grep '^corvane_up' /tmp/metrics)"
check "$(passed holds "$first")" "and holds its file, /dev/i2c-$first, open"

started=$(uptime_ms)
echo "$slot" >"$driver/unbind"
took=$(($(uptime_ms) - started))
check "$([ "$took" -lt 1000 ]; echo $?)" "unbound under it, the removal finishes at once" "$took ms"
sleep 1
check "$(passed grep -q 'is gone since' /tmp/serve.err)" "serve says the adapter is gone" \
  "$(grep 'is gone since' /tmp/serve.err | tail -1)"
check "$(passed wget -q -O /tmp/metrics http://127.0.0.1:10127/metrics)" "and serves on meanwhile" \
  "$(grep '^corvane_up' /tmp/metrics)"

echo "$slot" >"$driver/bind"
sleep 3
again=$(number_of "$name")
check "$(passed grep -q 'is back since' /tmp/serve.err)" "bound again, serve says it is back" \
  "$(grep 'is back since' /tmp/serve.err | tail -1)"
check "$(passed holds "$again")" "and holds its file again, under the same number" "/dev/i2c-$again"

# The stub, which the program does not hold, removed while the i801 adapter
# is away: the i801 adapter comes back under the lowest free number, the
# stub's, and the stub, loaded again, takes the next.
echo "$slot" >"$driver/unbind"
rmmod i2c_stub
echo "$slot" >"$driver/bind"
insmod /modules/i2c-stub.ko chip_addr=0x2e
sleep 3
moved=$(number_of "$name")
check "$([ -n "$moved" ] && [ "$moved" != "$first" ]; echo $?)" "the i801 adapter came back under another number" \
  "i2c-$first became i2c-$moved"
check "$([ "$(grep -c 'is back since' /tmp/serve.err)" -ge 2 ]; echo $?)" "serve says it is back once more"
check "$(passed holds "$moved")" "and follows it there" "/dev/i2c-$moved"
check "$(passed wget -q -O /tmp/metrics http://127.0.0.1:10127/metrics)" "still serving, never restarted" \
  "pid $serve"

kill "$serve"
wait "$serve" 2>/dev/null
echo "serve's own words:"
sed 's/^/  /' /tmp/serve.err
if [ "$failures" = 0 ]; then echo "ALL CHECKS PASSED: 0 failed"; else echo "SOME CHECKS FAILED: $failures failed"; fi
