# The fault soak, sourced by scripts/soak --faults [MINUTES]: the window
# (plain and sanitized builds, each recording every poll, with limits),
# record with limits, and serve scraped every second, all at once on the
# simulated chip doing wrong to one plan. Around them the rest goes wrong on
# cue: the recordings' disk full for a minute, the wall clock stepped back an
# hour and forward again, every program stopped for 30 s and continued (as a
# suspend does), the notification service gone and back, and a write of
# PWM1 every few seconds through the command line. At the end, a table of
# figures against their budgets; any missed fails the run.

# Whatever the soak started, stopped ones too, ended: on success and on failure.
soak_cleanup() {
  local left=("${soak_pids[@]}" ${notify_pid:-} ${xvfb_pid:-} ${bus_pid:-})
  [ ${#left[@]} -eq 0 ] && return 0
  kill -CONT "${left[@]}" 2>/dev/null || true
  kill "${left[@]}" 2>/dev/null || true
}

fault_soak() {
  local minutes=${1:-60}
  if ! [[ "$minutes" =~ ^[0-9]+$ ]] || [ "$minutes" -lt 3 ]; then
    echo "usage: scripts/soak --faults [MINUTES]   (a whole number of minutes, at least 3; default 60)" >&2
    exit 2
  fi
  local seconds=$((minutes * 60))

  ensure_packages "${test_packages[@]}"
  local targets=(--target corvane-bench corvane-window corvane-commands corvane-serve soak-shim soak-clock soak-notifications)
  build -DBUILD_TESTING=ON -DCORVANE_WARNINGS_AS_ERRORS=ON "${targets[@]}"
  build_in "$sanitized_build_dir" -DBUILD_TESTING=ON -DCORVANE_SANITIZE=ON -DCORVANE_WARNINGS_AS_ERRORS=ON \
    --target corvane-bench corvane-window corvane-commands corvane-serve

  local out="$build_dir/soak-faults"
  rm -rf "$out"
  mkdir -p "$out/recordings" "$out/runtime" "$out/config-plain/corvane-bench" "$out/config-sanitized/corvane-bench"
  chmod 700 "$out/runtime"
  local tools="$build_dir/tests/soak"
  local plain="$build_dir/app/corvane-bench" sanitized="$sanitized_build_dir/app/corvane-bench"
  now_ms() { "$tools/soak-clock"; }

  # Each fault once in any three minutes: the chip silent 20 s in every 2
  # minutes, the adapter gone 10 s in every 3, 1 % of transactions failing
  # in bursts of 8, and 0.5 % taking 40 ms. Spans are on the steady clock,
  # the same for every program.
  local plan="fail=1%/8,silent=20s/2m,gone=10s/3m,slow=40ms/0.5%"
  local silent_span=20000 silent_every=120000 gone_span=10000 gone_every=180000
  # The disk full for a minute (a tenth of a short run), every program
  # stopped for 30 s (likewise).
  local full_seconds=$((seconds / 10 < 60 ? seconds / 10 : 60))
  local stop_seconds=$((seconds / 10 < 30 ? seconds / 10 : 30))

  # The shim's control: wall-clock offset in seconds, and the disk full.
  local control="$out/control"
  printf '%+011d %d\n' 0 0 >"$control"
  set_control() { printf '%+011d %d\n' "$1" "$2" | dd of="$control" conv=notrunc status=none; }
  local clock_offset=0 disk_full=0

  # Limits for the windows: Local at most 40 °C (the simulated chip sits
  # about there, so alarms come and go) and Fan1 at least 1000 rpm.
  for kind in plain sanitized; do
    printf '[limits]\nlocal_c\\high=40\nlocal_c\\on=true\nfan1_rpm\\low=1000\nfan1_rpm\\on=true\n' \
      >"$out/config-$kind/corvane-bench/corvane-bench.conf"
  done

  # Global, not local: the EXIT trap runs after this function has returned.
  soak_pids=() xvfb_pid= bus_pid= notify_pid=
  local -n pids=soak_pids
  trap soak_cleanup EXIT
  start_xvfb "$out"
  export XDG_RUNTIME_DIR="$out/runtime"
  read -r DBUS_SESSION_BUS_ADDRESS bus_pid < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | paste -sd' ')
  export DBUS_SESSION_BUS_ADDRESS
  start_notifications() {
    echo "started" >>"$out/notifications.log"
    "$tools/soak-notifications" >>"$out/notifications.log" 2>&1 &
    notify_pid=$!
  }
  start_notifications

  local shim="$tools/soak-shim.so"
  local asan_runtime
  asan_runtime=$(ldd "$sanitized" | awk '/libasan/ {print $3}')
  run_shimmed() { # KIND LOG PROGRAM ARGS...
    local kind=$1 log=$2
    shift 2
    local preload=$shim
    [ "$kind" = sanitized ] && preload="$asan_runtime:$shim"
    CORVANE_SOAK_CONTROL="$control" CORVANE_SOAK_FULL_DIR="$out/recordings" LD_PRELOAD="$preload" \
      XDG_CONFIG_HOME="$out/config-$kind" QT_QPA_PLATFORM=xcb \
      QT_LOGGING_RULES="corvane.stats.info=true;corvane.latency.info=true" "$@" 2>"$log" &
  }

  # The sanitizers' settings touch only the sanitized build; the shim
  # comes after their runtime, which must be first.
  sanitizer_environment
  export ASAN_OPTIONS="$ASAN_OPTIONS:verify_asan_link_order=0"
  run_shimmed sanitized "$out/window-sanitized.log" "$sanitized" --simulate-faults "$plan,log=$out/faults-window-sanitized.log" \
    --record "$out/recordings/window-sanitized.csv"
  local window_sanitized=$!
  run_shimmed plain "$out/window-plain.log" "$plain" --simulate-faults "$plan,log=$out/faults-window-plain.log" \
    --record "$out/recordings/window-plain.csv"
  local window_plain=$!
  local window_started_ms
  window_started_ms=$(now_ms)
  pids+=("$window_plain" "$window_sanitized")

  # record refuses to start on a chip that does not answer: the plan may
  # have it silent now, so it is asked again until it starts.
  local record_pid=
  for _ in $(seq 60); do
    rm -f "$out/recordings/record.csv" "$out/recordings/record.csv.alarms.csv"
    run_shimmed plain "$out/record.log" "$plain" record "$out/recordings/record.csv" \
      --simulate-faults "$plan,log=$out/faults-record.log" --limit 'local_c<=40' --limit 'fan1_rpm>=1000'
    record_pid=$!
    sleep 1
    kill -0 "$record_pid" 2>/dev/null && break
    record_pid=
  done
  [ -n "$record_pid" ] || { echo "record never started:" >&2; cat "$out/record.log" >&2; exit 1; }
  pids+=("$record_pid")

  # A port of this run's own: two soaks (or a soak and a test) may run at once.
  local port=$((20000 + $$ % 20000))
  run_shimmed plain "$out/serve.log" "$plain" serve --simulate-faults "$plan,log=$out/faults-serve.log" \
    --listen "127.0.0.1:$port"
  local serve_pid=$!
  pids+=("$serve_pid")

  sleep 5
  local window_id=
  for _ in $(seq 100); do
    window_id=$(xdotool search --pid "$window_plain" --name '^SMBBA' 2>/dev/null | head -1) && [ -n "$window_id" ] && break
    sleep 0.2
  done
  [ -n "$window_id" ] || { echo "The window did not show." >&2; cat "$out/window-plain.log" >&2; exit 1; }
  # The sanitized window beside it, not over it: the keys go to the plain
  # one, under the pointer (Xvfb runs no window manager).
  local beside
  for beside in $(xdotool search --pid "$window_sanitized" --name '^SMBBA' 2>/dev/null); do
    xdotool windowmove "$beside" 520 0
  done
  xdotool windowmove "$window_id" 0 0 windowraise "$window_id" 2>/dev/null || true
  sleep 0.5
  # The register panel's data field: typing there sends nothing.
  xdotool mousemove 370 291 click 1

  local rss_file="$out/rss.txt"
  # The plain window's resident memory also in its three kinds: anonymous
  # (heap, stacks, the history), files (code and fonts, paged in as first
  # used) and shared (the window's image, which the X server shares).
  echo "seconds plain_kb sanitized_kb record_kb serve_kb plain_anon_kb plain_file_kb plain_shared_kb" >"$rss_file"
  rss_kb() { awk -v f="${2:-VmRSS}:" '$1 == f {print $2}' "/proc/$1/status" 2>/dev/null | grep . || echo 0; }
  rss_line() {
    echo "$1 $(rss_kb "$window_plain") $(rss_kb "$window_sanitized") $(rss_kb "$record_pid") $(rss_kb "$serve_pid")" \
      "$(rss_kb "$window_plain" RssAnon) $(rss_kb "$window_plain" RssFile) $(rss_kb "$window_plain" RssShmem)" >>"$rss_file"
  }

  local events="$out/events.txt"
  : >"$events"
  event() { echo "$(now_ms) $*" >>"$events"; echo "  $(date -u +%H:%M:%S) $*"; }
  local full_at=$((seconds * 2 / 10)) back_at=$((seconds * 4 / 10)) forward_at=$((seconds * 55 / 100))
  local notify_off_at=$((seconds * 3 / 10)) notify_on_at=$((seconds * 5 / 10)) stop_at=$((seconds * 7 / 10))
  local stopped=0 stopped_until=0
  echo "Fault soak of $minutes min on DISPLAY=$DISPLAY, plan $plan; logs in $out."
  local started=$SECONDS t=0 press=0 last_rss=-10 last_pwm=0
  : >"$out/scrapes.txt"
  while [ "$t" -lt "$seconds" ]; do
    t=$((SECONDS - started))
    for pid in "${pids[@]}"; do
      kill -0 "$pid" 2>/dev/null || { event "pid $pid died"; break 2; }
    done
    if [ "$t" -ge "$full_at" ] && [ "$disk_full" -eq 0 ] && [ "$t" -lt $((full_at + full_seconds)) ]; then
      disk_full=1; set_control "$clock_offset" 1; event "disk full"
    elif [ "$disk_full" -eq 1 ] && [ "$t" -ge $((full_at + full_seconds)) ]; then
      disk_full=2; set_control "$clock_offset" 0; event "disk has room"
    fi
    if [ "$t" -ge "$back_at" ] && [ "$clock_offset" -eq 0 ] && [ "$t" -lt "$forward_at" ]; then
      clock_offset=-3600; set_control -3600 "$((disk_full == 1))"; event "wall clock back an hour"
    elif [ "$t" -ge "$forward_at" ] && [ "$clock_offset" -ne 0 ]; then
      clock_offset=0; set_control 0 "$((disk_full == 1))"; event "wall clock forward again"
    fi
    if [ "$t" -ge "$notify_off_at" ] && [ -n "$notify_pid" ] && [ "$t" -lt "$notify_on_at" ]; then
      kill "$notify_pid" || true; wait "$notify_pid" 2>/dev/null || true; notify_pid=; event "notification service gone"
    elif [ "$t" -ge "$notify_on_at" ] && [ -z "$notify_pid" ]; then
      start_notifications; event "notification service back"
    fi
    if [ "$t" -ge "$stop_at" ] && [ "$stopped" -eq 0 ]; then
      kill -STOP "${pids[@]}" || true; stopped=1; stopped_until=$((t + stop_seconds)); event "all stopped"
    elif [ "$stopped" -eq 1 ] && [ "$t" -ge "$stopped_until" ]; then
      kill -CONT "${pids[@]}" || true; stopped=2; event "all continued"
    fi
    # Once a second: a scrape, and a key press in the window (none while
    # stopped: a suspended machine takes no keys).
    echo "$(now_ms) $(curl -s -m 0.8 "http://127.0.0.1:$port/metrics" | awk '/^corvane_up[ {]/ {print $NF; exit}')" \
      >>"$out/scrapes.txt"
    if [ "$stopped" -ne 1 ]; then
      if ((press % 2)); then xdotool key BackSpace; else xdotool key 5; fi
      press=$((press + 1))
    fi
    # Every 7 s, PWM1 set through the command line on the same faulty bus:
    # a read of its settings, then the writes, never a write after a
    # failed read.
    if [ $((t - last_pwm)) -ge 7 ] && [ "$stopped" -ne 1 ]; then
      last_pwm=$t
      "$plain" pwm --simulate-faults "$plan,log=$out/faults-pwm.log" --behaviour manual --duty $((40 + t % 50)) \
        >/dev/null 2>>"$out/pwm.log" || echo "exit $?" >>"$out/pwm.log"
    fi
    # Resident memory every 10 s: a page or two between samples must not
    # read as a trend.
    if [ $((t - last_rss)) -ge 10 ]; then
      last_rss=$t
      rss_line "$t"
    fi
    sleep 0.7
  done
  rss_line "$t"
  local window_ended_ms
  window_ended_ms=$(now_ms)

  # The end, as a logout ends them: SIGTERM, and each has 30 s.
  local statuses=()
  kill -CONT "${pids[@]}" 2>/dev/null || true
  kill -TERM "${pids[@]}" 2>/dev/null || true
  local pid status
  for pid in "${pids[@]}"; do
    if timeout 30 tail --pid="$pid" -f /dev/null; then
      status=0
      wait "$pid" || status=$?
    else
      status=hung
      kill -KILL "$pid" 2>/dev/null
    fi
    statuses+=("$status")
  done
  pids=()

  # Each recording as a user opens it again afterwards: the report reads
  # the whole file and counts any damaged row.
  local recording
  for recording in "$out"/recordings/*.csv; do
    [[ "$recording" == *.alarms.csv ]] && continue
    "$plain" report "$recording" --json -o "$recording.json" 2>>"$out/report.log" || echo "$recording: exit $?" >>"$out/report.log"
  done

  # Kept, so that the table can be made again from the logs.
  local figures=("$out" "$window_started_ms" "$window_ended_ms" "$silent_span" "$silent_every" "$gone_span" "$gone_every"
    "$stop_seconds" "${statuses[@]}")
  printf '%q ' "$repo_root/scripts/lib/fault-soak-figures" "${figures[@]}" >"$out/figures-command"
  "$repo_root/scripts/lib/fault-soak-figures" "${figures[@]}"
}
