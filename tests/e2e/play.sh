#!/usr/bin/env bash
# End-to-end checks of how the program meets a player and the desktop, in a real X window
# (Xvfb, software OpenGL), some of them under a window manager (openbox):
#   cli      --help, --version and an unknown option, without a window; the engine's log on
#            stderr, one "ferrox: " line a message: its warnings by default, all of it with
#            --verbose; --windowed does not try the full screen; the manual names the options
#   keys     the pause banner, F1's panel and the neutral hint on screen; Q and F1 held
#            through the window system's autorepeat act once
#   signals  SIGINT, SIGTERM and SIGHUP: exit 0 within a second
#   closed   the window killed, destroyed (drawing, or minimized), or closed by the window
#            manager: exit 0 with a message, no X error
#   idle     minimized or without the focus the program uses next to no CPU, and draws again
#            when back; a signal still ends it at once
#   focus    a key let go in another window no longer holds its command when the focus
#            comes back
# Usage: play.sh <case> <path to bin/ferrox>; FERROX_VERSION, the version --version shows
set -euo pipefail
source "$(dirname "$0")/../../tools/window.sh"
window_init "$1" "$2"

readonly kExitLimitMs=1000           # a signal ends the program within this
readonly kIdleLimit=2                # % of one core, at most, while out of use
readonly kDrawingLeast=5             # % of one core, at least, while drawing on a busy machine
readonly kMeasureSeconds=10          # s of CPU time measured per state
readonly kBannerArea=440x44+292+60   # px, round the pause banner near the top
readonly kPanelArea=440x300+292+234  # px, the middle of the keys' panel
readonly kHintArea=230x28+0+34       # px, the neutral hint below the status line
readonly kGearArea=64x22+8+8         # px, "Gear: N" of the status line
readonly kViewArea=1024x640+0+120    # px, the scene below the texts
readonly kClosed='ferrox: the window was closed from outside'

wm_pid="" other_pid=""
play_cleanup() {
  set +e
  [ -n "$other_pid" ] && kill "$other_pid" 2>/dev/null
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
  window_cleanup
}
trap play_cleanup EXIT

# A window manager on the display, its files kept in the scratch directory.
start_wm() {
  command -v openbox >/dev/null || fail "openbox is not installed (tools/deps.sh lists it)"
  mkdir -p "$work/xdg"
  XDG_CACHE_HOME="$work/xdg" XDG_CONFIG_HOME="$work/xdg" openbox >"$work/wm.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.1
  done
  fail "openbox did not start: $(tail -n 2 "$work/wm.log")"
}

start_windowed() {
  start_display
  start_wm
  launch ./ferrox --windowed
  await_window
  sleep 2
}

# Another client's window, which the window manager gives the focus.
focus_elsewhere() {
  xmessage -name ferrox-other "another window" >/dev/null 2>&1 &
  other_pid=$!
  for _ in $(seq 50); do
    active=$(xdotool getactivewindow 2>/dev/null || true)
    [ -n "$active" ] && [ "$active" != "$window" ] && return 0
    sleep 0.1
  done
  fail "the other window did not take the focus"
}

focus_back() {
  kill "$other_pid" 2>/dev/null
  wait "$other_pid" 2>/dev/null || true
  other_pid=""
  xdotool windowactivate --sync "$window" 2>/dev/null || fail "no focus back"
}

# CPU time of the game over $1 seconds, in % of one core.
cpu_over() {
  local before after
  before=$(awk '{ print $14 + $15 }' "/proc/$game_pid/stat")
  sleep "$1"
  after=$(awk '{ print $14 + $15 }' "/proc/$game_pid/stat")
  awk -v t="$((after - before))" -v hz="$(getconf CLK_TCK)" -v s="$1" \
    'BEGIN { printf "%.1f", 100 * t / hz / s }'
}

# Area $2 of screenshot $1 shows text on a dark band: at least $3 pixels darker than 30 %
# and $4 brighter than 90 % in every channel's maximum; $5 names it.
expect_overlay() {
  local dark white fx='max(r,max(g,b))'
  dark=$(convert "$work/$1.png" -crop "$2" +repage -fx "($fx<0.3)?1:0" \
    -format '%[fx:int(mean*w*h+0.5)]' info:)
  white=$(convert "$work/$1.png" -crop "$2" +repage -fx "($fx>0.9)?1:0" \
    -format '%[fx:int(mean*w*h+0.5)]' info:)
  [ "$dark" -ge "$3" ] && [ "$white" -ge "$4" ] || fail "no $5: $dark dark, $white white pixels"
  echo "$5: $dark dark, $white white pixels"
}

# Runs the command $2..., then expects the game to end with exit code 0 within the limit.
expect_quick_exit() {
  local what=$1 start elapsed_ms
  shift
  start=$(date +%s%N)
  "$@"
  await_exit 5
  elapsed_ms=$((($(date +%s%N) - start) / 1000000))
  [ "$exit_code" = 0 ] || fail "$what: exit code $exit_code"
  [ "$elapsed_ms" -le "$kExitLimitMs" ] || fail "$what: took $elapsed_ms ms"
  no_crash_report || fail "$what: a crash report"
  echo "$what: exit 0 in $elapsed_ms ms"
}

run_bare() {  # output, arguments...: exit code into $code
  local out=$1
  shift
  code=0
  (cd "$bindir" && env -u DISPLAY ./ferrox "$@" >"$work/$out.out" 2>"$work/$out.err") || code=$?
}

case "$label" in
  cli)
    run_bare help --help
    [ "$code" = 0 ] && grep -q '^Usage: ferrox' "$work/help.out" && [ ! -s "$work/help.err" ] ||
      fail "--help: exit code $code, no usage on stdout alone"
    manual="$(dirname "$0")/../../packaging/ferrox.6.in"
    for option in windowed verbose help version; do
      grep -q -e "--$option" "$work/help.out" || fail "the usage does not name --$option"
      grep -q -F -e "\\-\\-$option" "$manual" || fail "the manual page does not name --$option"
    done
    grep -q -x '\.B F1' "$manual" || fail "the manual page does not name F1"
    run_bare version --version
    [ "$(cat "$work/version.out")" = "ferrox ${FERROX_VERSION:?}" ] ||
      fail "--version: '$(cat "$work/version.out")'"
    run_bare bad --windowed --fast
    [ "$code" = 2 ] && [ ! -s "$work/bad.out" ] && grep -q '^Usage: ferrox' "$work/bad.err" ||
      fail "an unknown option: exit code $code, no usage on stderr alone"
    grep -q "^ferrox: unknown option '--fast'" "$work/bad.err" || fail "the option is not named"
    echo "--help, --version and an unknown option (exit 2) as they should"

    # The engine's log: stderr only, each line after "ferrox: ". Xvfb has no video modes to
    # switch, so the full-screen attempt draws a warning, which --windowed never makes.
    start_display
    for run in default::1:0 windowed:--windowed:0:0 "verbose:--windowed --verbose:0:1"; do
      IFS=: read -r name options fullscreen information <<<"$run"
      # shellcheck disable=SC2086
      launch ./ferrox $options
      first_frame_then_escape
      [ ! -s "$work/game.out" ] || fail "$name: the engine wrote on stdout"
      ! grep -v '^ferrox: ' "$work/game.err" || fail "$name: a line without the prefix"
      [ "$(grep -c 'switch to fullscreen mode' "$work/game.err")" = "$fullscreen" ] &&
        [ "$(grep -c '^ferrox: Irrlicht Engine version 1\.8' "$work/game.err")" = "$information" ] ||
        fail "$name: the log's lines are not the expected ones"
      echo "$name: $(wc -l <"$work/game.err") lines of log, all 'ferrox: '"
    done
    ;;

  keys)
    start_display
    start_game
    sleep 2
    shot paused
    expect_overlay paused "$kBannerArea" 5000 300 "pause banner"
    xdotool keydown F1 sleep 1.5 keyup F1 sleep 0.5  # held: shown once, whatever the repeats
    shot panel
    expect_overlay panel "$kPanelArea" 50000 2000 "keys panel"
    xdotool key F1 sleep 0.5
    shot hidden
    [ "$(pixels_changed paused hidden "$kPanelArea")" -le 100 ] || fail "the panel did not go"
    # Q held through its autorepeat shifts once: held, then E, it shows gear 1 again.
    xdotool key q sleep 0.5
    shot second
    [ "$(pixels_changed paused second "$kGearArea")" -ge 20 ] || fail "Q changed no gear shown"
    xdotool key e keydown q sleep 1.5 keyup q key e sleep 0.5
    shot held
    [ "$(pixels_changed paused held "$kGearArea")" = 0 ] || fail "Q held shifted more than once"
    xdotool key r sleep 0.5
    shot neutral
    expect_overlay neutral "$kHintArea" 2000 150 "neutral hint"
    expect_quick_exit Escape xdotool key Escape
    ;;

  signals)
    start_display
    for signal in INT TERM HUP; do
      start_game
      sleep 2
      expect_quick_exit "SIG$signal" kill -s "$signal" "$game_pid"
    done
    ;;

  closed)
    start_display
    for how in windowkill windowclose; do
      start_game
      sleep 2
      expect_quick_exit "$how" xdotool "$how" "$window"
      grep -qx "$kClosed" "$work/game.err" || fail "$how: no message"
      ! grep -q -E 'X Error|X connection|XIO' "$work/game.err" || fail "$how: an X error"
    done
    stop_display
    start_windowed
    # Minimized it draws nothing, so no failing request tells that the window went.
    xdotool windowminimize --sync "$window" sleep 1
    expect_quick_exit "destroyed while minimized" xdotool windowclose "$window"
    grep -qx "$kClosed" "$work/game.err" || fail "destroyed while minimized: no message"
    launch ./ferrox --windowed
    await_window
    sleep 2
    expect_quick_exit "closed by the window manager" xdotool windowactivate --sync "$window" \
      key alt+F4
    grep -qx "$kClosed" "$work/game.err" || fail "closed by the window manager: no message"
    ;;

  idle)
    start_windowed
    playing=$(cpu_over "$kMeasureSeconds")
    xdotool windowminimize --sync "$window" sleep 1
    minimized=$(cpu_over "$kMeasureSeconds")
    xdotool windowactivate --sync "$window" 2>/dev/null
    focus_elsewhere
    sleep 1
    unfocused=$(cpu_over "$kMeasureSeconds")
    focus_back
    sleep 1
    back=$(cpu_over 3)
    echo "CPU, % of a core: playing $playing, minimized $minimized, unfocused $unfocused, back $back"
    awk -v m="$minimized" -v u="$unfocused" -v b="$back" -v idle="$kIdleLimit" \
      -v least="$kDrawingLeast" 'BEGIN { exit !(m <= idle && u <= idle && b >= least) }' ||
      fail "more than $kIdleLimit % out of use, or less than $kDrawingLeast % back in use"
    xdotool windowminimize --sync "$window" sleep 1
    expect_quick_exit "SIGTERM while minimized" kill -s TERM "$game_pid"
    ;;

  focus)
    start_windowed
    xdotool windowactivate --sync "$window" 2>/dev/null
    xdotool mousemove 360 22 key space
    # A held turns the tank on the spot, and the camera with it: the scene swings by.
    xdotool keydown a sleep 1
    shot turning1
    sleep 0.5
    shot turning2
    swing=$(pixels_changed turning1 turning2 "$kViewArea")
    [ "$swing" -ge 20000 ] || fail "A held hardly turned the view ($swing pixels)"
    focus_elsewhere
    xdotool keyup a sleep 1  # in the other window
    focus_back
    sleep 1
    shot back1
    sleep 0.5
    shot back2
    still=$(pixels_changed back1 back2 "$kViewArea")
    [ "$still" -le 2000 ] || fail "the tank still turns after A went up elsewhere ($still pixels)"
    echo "A held: $swing pixels changed in 0.5 s; let go in another window: $still"
    expect_quick_exit Escape xdotool key Escape
    ;;

  *)
    fail "unknown check"
    ;;
esac
echo "PASS ($label)"
