# Sourced by the window tests and the frame-rate script: a private X display.
# The caller defines fail() and $work before starting one.

xvfb_pid=""

# A display number that no server uses, here or in another sandbox sharing this network
# (an X client tries the abstract socket first and would reach that other server). Xvfb
# names the display on descriptor 3 once it accepts clients.
start_display() {
  local n
  for _ in $(seq 20); do
    n=$((RANDOM % 900 + 100))
    [ -e "/tmp/.X$n-lock" ] && continue
    grep -q "X11-unix/X$n\$" /proc/net/unix && continue
    : >"$work/display"
    Xvfb ":$n" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
      >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
      if [ "$(wc -l <"$work/display")" -ge 1 ]; then  # the number, and its newline
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    stop_display  # lost a race for that number: try another
    xvfb_pid=""
  done
  fail "Xvfb did not start: $(tail -n 2 "$work/xvfb.log")"
}

# Waited for, so that the display is free again when the next run starts.
stop_display() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
}
