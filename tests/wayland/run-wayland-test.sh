#!/usr/bin/env bash
# Starts Debian's weston on its headless back end, in a runtime folder of
# its own, runs the Wayland check against it, and, when asked, saves a
# screenshot of the window as the compositor shows it.
#
#   run-wayland-test.sh CHECK_PROGRAM [SCREENSHOT.png]
#
# Returns 77 (skipped) only where weston cannot start.

set -uo pipefail
check_program=$1
screenshot=${2:-}

if ! command -v weston >/dev/null; then
  echo "weston is not installed: skipped." >&2
  exit 77
fi
runtime=$(mktemp -d)
chmod 700 "$runtime"
weston_pid=
trap 'kill $weston_pid 2>/dev/null; wait $weston_pid 2>/dev/null; rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR=$runtime
socket=wayland-corvane-test
# Pixman draws, so a screenshot has something in it; --debug lets the
# screenshooter ask for one.
weston --backend=headless-backend.so --use-pixman --socket=$socket --idle-time=0 --width=1000 --height=700 \
  --debug >"$runtime/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 1 100); do
  [ -S "$runtime/$socket" ] && break
  kill -0 $weston_pid 2>/dev/null || break
  sleep 0.1
done
if [ ! -S "$runtime/$socket" ]; then
  echo "weston did not start: skipped." >&2
  cat "$runtime/weston.log" >&2
  exit 77
fi

export WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland XDG_CONFIG_HOME=$runtime/config
unset DISPLAY
shooter=
if [ -n "$screenshot" ]; then
  (sleep 3 && cd "$runtime" && weston-screenshooter >/dev/null 2>&1 && mv "$runtime"/wayland-screenshot-*.png "$screenshot") &
  shooter=$!
fi
"$check_program" 2>"$runtime/check.err"
status=$?
cat "$runtime/check.err" >&2
if grep -q 'qt\.qpa\.wayland' "$runtime/check.err"; then
  echo "Qt's Wayland platform said something (above)." >&2
  status=1
fi
[ -z "$shooter" ] || wait $shooter
exit $status
