# Sourced by the window tests, the frame-rate script and the package check: a private X
# display, the program started in it, waits, failure and clean-up.
#   window_init <label> <path to bin/ferrox>   sets $program, $bindir and $work; cleans up on exit

window_init() {
  label=$1
  program=$(readlink -f "$2")
  bindir=$(dirname "$program")
  work=$(mktemp -d)
  xvfb_pid=""
  game_pid=""
  trap window_cleanup EXIT
}

window_cleanup() {
  [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null || true
  stop_display
  rm -rf "$work"
}

fail() {
  echo "FAIL ($label): $*" >&2
  [ -f "$work/game.err" ] && grep -v '^$' "$work/game.err" | tail -n 5 | sed 's/^/  stderr: /' >&2
  # The engine logs to standard output: its last words say why a window did not open.
  [ -f "$work/game.out" ] && grep -v '^Loaded' "$work/game.out" | tail -n 5 | sed 's/^/  engine: /' >&2
  exit 1
}

# A display number that no server uses, here or in another sandbox sharing this network
# (an X client tries the abstract socket first and would reach that other server). Xvfb
# names the display on descriptor 3 once it accepts clients. -noreset: by default the
# server resets whenever its last client leaves, and drops a client that is connecting
# meanwhile; a short-lived xdotool leaving as the game connected made the game fail with
# "could not open the window". -nolisten unix: clients reach it through its abstract socket
# alone, and it leaves no socket folder in /tmp; its lock file there goes when it ends.
start_display() {
  local n
  for _ in $(seq 20); do
    n=$((RANDOM % 900 + 100))
    [ -e "/tmp/.X$n-lock" ] && continue
    grep -q "X11-unix/X$n\$" /proc/net/unix && continue
    : >"$work/display"
    Xvfb ":$n" -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp -nolisten unix \
      3>"$work/display" >"$work/xvfb.log" 2>&1 &
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
  done
  fail "Xvfb did not start: $(tail -n 2 "$work/xvfb.log")"
}

# Waited for, so that the display is free again when the next run starts.
stop_display() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
}

# Starts [VAR=value...] <command> [args] from the program's directory, where ../media
# resolves, with software OpenGL; its output lands in $work/game.out and game.err. Its
# settings file is $work/config/ferrox/settings, none unless a case writes one, so that the
# player's own never changes a run.
launch() {
  (cd "$bindir" && exec env LIBGL_ALWAYS_SOFTWARE=1 XDG_CONFIG_HOME="$work/config" "$@" \
    >"$work/game.out" 2>"$work/game.err") &
  game_pid=$!
}

# Waits for the program's window, named by its caption, into $window.
await_window() {
  for _ in $(seq 300); do
    window=$(xdotool search --name '^Ferrox \|' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && return 0
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended before its window appeared"
    sleep 0.1
  done
  fail "no window within 30 s"
}

start_game() {
  launch ./ferrox
  await_window
}

# Waits up to $1 seconds for the game to end; sets exit_code.
await_exit() {
  local deadline=$((SECONDS + $1))
  while kill -0 "$game_pid" 2>/dev/null; do
    [ $SECONDS -lt "$deadline" ] || fail "still running after $1 s"
    sleep 0.1
  done
  exit_code=0
  wait "$game_pid" || exit_code=$?
  game_pid=""
}

shot() { import -window root "$work/$1.png"; }
act() { xdotool "${@:2}" && shot "$1"; }  # xdotool's commands $2..., then screenshot $1

# The started game's first frame shows a drawn scene, and Escape ends it with exit code 0;
# sets $colours, the number of colours on screen.
first_frame_then_escape() {
  await_window  # its caption is set after the first frame is drawn
  sleep 1
  shot first
  colours=$(convert "$work/first.png" -format %k info:)
  [ "$colours" -ge 1000 ] || fail "only $colours colours on screen"
  xdotool key Escape
  await_exit 5
  [ "$exit_code" = "0" ] || fail "exit code $exit_code"
}

# Pixels that differ between two screenshots ($1, $2); with $3 ("WxH+X+Y") only there.
pixels_changed() {
  local a="$work/$1.png" b="$work/$2.png"
  if [ -n "${3:-}" ]; then
    convert "$a" -crop "$3" +repage "$work/$1.crop.png" && a="$work/$1.crop.png"
    convert "$b" -crop "$3" +repage "$work/$2.crop.png" && b="$work/$2.crop.png"
  fi
  { compare -metric AE -fuzz 8% "$a" "$b" null: 2>&1 || true; } | awk '{ printf "%d", $1 }'
}

# Pixels of area $3 that change in half a second, $2 s from now; screenshots $1-a and $1-b.
motion() {
  act "$1-a" sleep "$2"
  act "$1-b" sleep 0.5
  pixels_changed "$1-a" "$1-b" "$3"
}

# Pixels of screenshot $1 within area $2 ("WxH+X+Y") where the -fx condition $3 holds.
pixels_where() {
  convert "$work/$1.png" -crop "$2" +repage -fx "($3)?1:0" -format '%[fx:int(mean*w*h+0.5)]' info:
}

# Runs the program with arguments $2... from its directory without a display; its output
# lands in $work/$1.out and $1.err, its exit code in $code.
run_bare() {
  local out=$1
  shift
  code=0
  (cd "$bindir" && env -u DISPLAY "$program" "$@" >"$work/$out.out" 2>"$work/$out.err") || code=$?
}

# Runs the command $2..., then expects the game to end within $1 ms with exit code 0 and
# no crash report.
expect_exit() {
  local limit=$1 start elapsed_ms
  shift
  start=$(date +%s%N)
  "$@"
  await_exit 5
  elapsed_ms=$((($(date +%s%N) - start) / 1000000))
  [ "$exit_code" = 0 ] && [ "$elapsed_ms" -le "$limit" ] && no_crash_report ||
    fail "$*: exit code $exit_code in $elapsed_ms ms, or a crash report"
  echo "$*: exit 0 in $elapsed_ms ms"
}

# A crash, a sanitizer's report or the C++ runtime giving up, in the game's stderr.
no_crash_report() {
  ! grep -q -E 'ERROR: (Address|Leak)Sanitizer|runtime error:|terminate called|Segmentation' \
    "$work/game.err"
}
