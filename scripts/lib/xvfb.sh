# start_xvfb DIR: starts Xvfb on the first free display, exports DISPLAY and
# sets xvfb_pid (for the caller's EXIT trap). DIR keeps the display number.
# Shared by scripts/soak, scripts/bench and the instruction-count test.

start_xvfb() {
  local dir=$1
  rm -f "$dir/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
  if ! [ -s "$dir/display" ]; then
    echo "Xvfb did not start." >&2
    return 1
  fi
  export DISPLAY=":$(head -1 "$dir/display")"
}
