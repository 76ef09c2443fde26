# Sourced by the window tests and the frame-rate script: a private X display.
# The caller defines fail() and $work before starting one.

xvfb_pid=""

# Xvfb picks a free display itself and names it once it accepts clients: no race with
# other displays starting at the same time.
start_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    if [ "$(wc -l <"$work/display")" -ge 1 ]; then  # the number, and its newline
      export DISPLAY=":$(head -n 1 "$work/display")"
      return 0
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  fail "Xvfb did not start: $(tail -n 2 "$work/xvfb.log")"
}

# Waited for, so that the display is free again when the next run starts.
stop_display() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
}
