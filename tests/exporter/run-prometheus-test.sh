#!/usr/bin/env bash
# The exporter with a real monitoring engine: Debian's prometheus server,
# on loopback ports and a data folder of the test's own, scraping
# corvane-bench serve --simulate every second, and a second exporter at a
# device that does not answer. Its HTTP API must then say the chip is up
# with its temperatures, and the other is down with none.
#
#   run-prometheus-test.sh CORVANE_BENCH WORK_DIR

set -euo pipefail
source "$(dirname "$0")/../system-tools.sh"
require_tools prometheus curl

program=$1
work=$2
rm -rf "$work"
mkdir -p "$work/data" "$work/runtime"
chmod 700 "$work/runtime"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null' EXIT

# Three free ports on loopback, as the kernel hands them out.
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' 2>/dev/null ||
  shuf -i 30000-60000 -n 1; }
engine_port=$(free_port); chip_port=$(free_port); absent_port=$(free_port)

XDG_RUNTIME_DIR="$work/runtime" "$program" serve --simulate --listen "127.0.0.1:$chip_port" 2>"$work/chip.log" &
pids+=($!)
XDG_RUNTIME_DIR="$work/runtime" "$program" serve --simulate --device 48 --listen "127.0.0.1:$absent_port" \
  2>"$work/absent.log" &
pids+=($!)
cat >"$work/prometheus.yml" <<YAML
global:
  scrape_interval: 1s
  evaluation_interval: 1s
scrape_configs:
  - job_name: chip
    static_configs: [{targets: ["127.0.0.1:$chip_port"]}]
  - job_name: absent
    static_configs: [{targets: ["127.0.0.1:$absent_port"]}]
YAML
prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/data" \
  --web.listen-address="127.0.0.1:$engine_port" >"$work/prometheus.log" 2>&1 &
pids+=($!)

query() { curl -sf --get "http://127.0.0.1:$engine_port/api/v1/query" --data-urlencode "query=$1"; }
results() { query "$1" | grep -o '"metric"' | wc -l; }
first_value() { query "$1" | sed -n 's/.*"value":\[[0-9.]*,"\([^"]*\)"\].*/\1/p'; }

# Until both targets have been scraped a few times.
for _ in $(seq 60); do
  [ "$(first_value 'corvane_up{job="chip"}')" = 1 ] && [ "$(first_value 'corvane_up{job="absent"}')" = 0 ] && break
  sleep 1
done

failures=0
check() { # check DESCRIPTION ACTUAL EXPECTED
  if [ "$2" = "$3" ]; then echo "PASS $1"; else echo "FAIL $1: '$2', not '$3'"; failures=$((failures + 1)); fi
}
check "the engine sees the chip up" "$(first_value 'corvane_up{job="chip"}')" 1
check "the engine has the chip's three temperatures" "$(results 'corvane_temperature_celsius{job="chip"}')" 3
check "the temperatures carry device, controller and bus" \
  "$(results 'corvane_temperature_celsius{job="chip",device="0x2E",controller="2",bus="the simulated SMBus"}')" 3
check "the engine has the four fans, the two rails and the duty" \
  "$(results '{job="chip",__name__=~"corvane_fan_speed_rpm|corvane_voltage_volts|corvane_pwm_duty_ratio"}')" 7
check "the device that does not answer is down" "$(first_value 'corvane_up{job="absent"}')" 0
check "the device that does not answer has no temperature" "$(results 'corvane_temperature_celsius{job="absent"}')" 0
check "its failed polls are counted by errno" "$(results 'corvane_poll_errors_total{job="absent",error="ENXIO"} > 0')" 1
if [ $failures -ne 0 ]; then
  echo "prometheus log:"; tail -20 "$work/prometheus.log"
  exit 1
fi
