#!/usr/bin/env bash
# End-to-end checks of how the program meets a player and the desktop, in a real X window
# (Xvfb, software OpenGL), some of them under a window manager (openbox):
#   cli      without a display: exit 1 at once, saying why; --help (and -h), --version and an
#            unknown option, without a window; the engine's log on stderr, one "ferrox: " line a
#            message: its warnings by default, all of it with --verbose; --windowed does not
#            try the full screen; the manual names the options
#   keys     the pause banner, F1's panel and the neutral hint on screen; Q and F1 held
#            through the window system's autorepeat act once
#   settings the player's settings file: a rebound key shifts and the old key no longer
#            does; inverted look turns the view the other way; a key bound twice is named
#            on stderr and the game plays
#   closed   SIGINT, SIGTERM and SIGHUP: exit 0 within a second; the window killed, destroyed
#            (drawing, or minimized), or closed by the window manager: exit 0 with a message,
#            no X error
#   idle     minimized or without the focus the program uses next to no CPU, and draws again
#            when back; a signal still ends it at once
#   focus    a key let go in another window no longer holds its command when the focus
#            comes back
# Usage: play.sh <case> <path to bin/ferrox>; FERROX_VERSION, the version --version shows
set -euo pipefail
source "$(dirname "$0")/../../tools/window.sh"
window_init "$1" "$2"

readonly kExitLimitMs=1000           # a signal or a key ends the program within this
readonly kIdleLimit=2                # % of one core, at most, while out of use
readonly kDrawingLeast=5             # % of one core, at least, while drawing on a busy machine
readonly kMeasureSeconds=10          # s of CPU time measured per state
readonly kBannerArea=440x44+292+60   # px, round the pause banner near the top
readonly kPanelArea=440x300+292+234  # px, the middle of the keys' panel
readonly kHintArea=230x28+0+54       # px, the neutral hint below the status line
readonly kGearArea=64x22+8+8         # px, "Gear: N" of the status line
readonly kViewArea=1024x640+0+120    # px, the scene below the texts

wm_pid="" other_pid=""
trap 'kill $wm_pid $other_pid 2>/dev/null || true; window_cleanup' EXIT

# Until the command $1 succeeds, for up to 5 s.
poll() { for _ in $(seq 50); do eval "$1" 2>/dev/null && return 0 || sleep 0.1; done; return 1; }

# A window manager on the display, its files kept in the scratch directory, and the game in
# a window of its own.
start_windowed() {
  start_display
  mkdir -p "$work/xdg"
  XDG_CACHE_HOME="$work/xdg" XDG_CONFIG_HOME="$work/xdg" openbox >"$work/wm.log" 2>&1 &
  wm_pid=$!
  poll 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    fail "openbox did not start: $(tail -n 2 "$work/wm.log")"
  launch_windowed
}

launch_windowed() {
  launch ./ferrox --windowed
  await_window
  sleep 2
}

# Another client's window, which the window manager gives the focus; then back.
focus_elsewhere() {
  xmessage -name ferrox-other "another window" >/dev/null 2>&1 &
  other_pid=$!
  poll 'active=$(xdotool getactivewindow) && [ "$active" != "$window" ]' ||
    fail "the other window did not take the focus"
}
focus_back() {
  kill "$other_pid" && wait "$other_pid" 2>/dev/null || true
  xdotool windowactivate --sync "$window" 2>/dev/null || fail "no focus back"
}

ticks() { awk '{ print $14 + $15 }' "/proc/$game_pid/stat"; }  # the game's CPU time so far
cpu_over() {  # the game's CPU time over $1 seconds, in % of one core
  local before
  before=$(ticks)
  sleep "$1"
  awk -v t="$(($(ticks) - before))" -v hz="$(getconf CLK_TCK)" -v s="$1" \
    'BEGIN { printf "%.1f", 100 * t / hz / s }'
}
idle() { awk -v cpu="$(cpu_over 1)" -v idle="$kIdleLimit" 'BEGIN { exit !(cpu <= idle) }'; }

# Area $2 of screenshot $1 shows text on a dark band: at least $3 pixels darker than 30 %
# and $4 brighter than 90 % in every channel's maximum; $5 names it.
expect_overlay() {
  local dark white
  dark=$(pixels_where "$1" "$2" 'max(r,max(g,b))<0.3')
  white=$(pixels_where "$1" "$2" 'max(r,max(g,b))>0.9')
  [ "$dark" -ge "$3" ] && [ "$white" -ge "$4" ] || fail "no $5: $dark dark, $white white pixels"
}

expect_closed() {  # the command $1... closes the window from outside
  expect_exit "$kExitLimitMs" "$@"
  grep -qx 'ferrox: the window was closed from outside' "$work/game.err" &&
    ! grep -q -E 'X Error|X connection|XIO' "$work/game.err" || fail "$*: no message, or an X error"
}

case "$label" in
  cli)
    start=$(date +%s%N)
    run_bare game
    elapsed_ms=$((($(date +%s%N) - start) / 1000000))
    [ "$code" = 1 ] && [ "$elapsed_ms" -le "$kExitLimitMs" ] &&
      grep -q "could not open the window: DISPLAY is not set" "$work/game.err" ||
      fail "no display: exit code $code in $elapsed_ms ms, or not saying why"
    run_bare help --help
    [ "$code" = 0 ] && grep -q '^Usage: ferrox' "$work/help.out" && [ ! -s "$work/help.err" ] ||
      fail "--help: exit code $code, no usage on stdout alone"
    manual="$(dirname "$0")/../../packaging/ferrox.6.in"
    run_bare short -h
    cmp -s "$work/help.out" "$work/short.out" || fail "-h does not show what --help shows"
    for option in windowed verbose mute settings seed record replay headless help version; do
      grep -q -e "--$option" "$work/help.out" && grep -q -F -e "\\-\\-$option" "$manual" ||
        fail "the usage or the manual page does not name --$option"
    done
    grep -q -x '\.B F1' "$manual" || fail "the manual page does not name F1"
    run_bare version --version
    [ "$(cat "$work/version.out")" = "ferrox ${FERROX_VERSION:?}" ] ||
      fail "--version: '$(cat "$work/version.out")'"
    run_bare bad --windowed --fast
    [ "$code" = 2 ] && [ ! -s "$work/bad.out" ] && grep -q '^Usage: ferrox' "$work/bad.err" &&
      grep -q "^ferrox: unknown option '--fast'" "$work/bad.err" ||
      fail "an unknown option: exit code $code, not named with the usage on stderr alone"
    # The engine's log: stderr only, each line after "ferrox: ". Xvfb has no video modes to
    # switch, so the full screen is refused: one line of ours says so, and the engine's two
    # warnings show with --verbose alone; --windowed never tries it.
    start_display
    for run in default::1:0:0 windowed:--windowed:0:0:0 "verbose:--verbose:1:2:1" \
      "windowed-verbose:--windowed --verbose:0:0:1"; do
      IFS=: read -r name options ours engines information <<<"$run"
      # shellcheck disable=SC2086
      launch ./ferrox $options
      first_frame_then_escape
      [ ! -s "$work/game.out" ] && ! grep -q -v '^ferrox: ' "$work/game.err" &&
        [ "$(grep -c -x 'ferrox: full screen is not available here, playing in a window' \
          "$work/game.err")" = "$ours" ] &&
        [ "$(grep -c '^ferrox: VidMode or RandR' "$work/game.err")" = "$engines" ] &&
        [ "$(grep -c '^ferrox: Irrlicht Engine version 1\.8' "$work/game.err")" = "$information" ] ||
        fail "$name: the log is not the expected lines, all on stderr after 'ferrox: '"
    done
    ;;

  keys)
    start_display
    start_game
    act paused sleep 2
    expect_overlay paused "$kBannerArea" 5000 300 "pause banner"
    act panel keydown F1 sleep 1.5 keyup F1 sleep 0.5  # held: shown once, whatever the repeats
    expect_overlay panel "$kPanelArea" 50000 2000 "keys panel"
    act hidden key F1 sleep 0.5
    [ "$(pixels_changed paused hidden "$kPanelArea")" -le 100 ] || fail "the panel did not go"
    # Q held through its autorepeat shifts once: held, then E, it shows gear 1 again.
    act second key q sleep 0.5
    [ "$(pixels_changed paused second "$kGearArea")" -ge 20 ] || fail "Q changed no gear shown"
    act held key e keydown q sleep 1.5 keyup q key e sleep 0.5
    [ "$(pixels_changed paused held "$kGearArea")" = 0 ] || fail "Q held shifted more than once"
    act neutral key r sleep 0.5
    expect_overlay neutral "$kHintArea" 2000 150 "neutral hint"
    expect_exit "$kExitLimitMs" xdotool key Escape
    ;;

  settings)
    start_display
    # Gear-up moves from Q to U, the look inverts, and line 3 gives U a second command.
    mkdir -p "$work/config/ferrox"
    printf 'key.gear-up = U\ninvert-look = yes\nkey.fire = U\n' >"$work/config/ferrox/settings"
    start_game
    act first sleep 2
    grep -qx "ferrox: $work/config/ferrox/settings:3: U is also gear-up's key" "$work/game.err" ||
      fail "the key bound twice is not named on its line"
    act old key q sleep 0.5
    [ "$(pixels_changed first old "$kGearArea")" = 0 ] || fail "Q still shifts up"
    act new key u sleep 0.5
    [ "$(pixels_changed first new "$kGearArea")" -ge 20 ] || fail "U does not shift up"
    # The cursor's row counts from where the game starts it, row 22: inverted, row 0 pitches
    # the camera as row 44 does by default.
    act inverted mousemove 512 0 sleep 1
    expect_exit "$kExitLimitMs" xdotool key Escape
    rm "$work/config/ferrox/settings"
    start_game
    act plain mousemove 512 0 sleep 1
    act mirrored mousemove 512 44 sleep 1
    expect_exit "$kExitLimitMs" xdotool key Escape
    same=$(pixels_changed inverted mirrored "$kViewArea")
    apart=$(pixels_changed inverted plain "$kViewArea")
    echo "inverted row 0 against row 44: $same pixels differ; against row 0: $apart"
    [ "$same" -le 2000 ] && [ "$apart" -ge 20000 ] ||
      fail "inverted look does not mirror the row: $same pixels off row 44, $apart off row 0"
    ;;

  closed)
    start_display
    for how in INT TERM HUP windowkill windowclose; do
      start_game
      sleep 2
      case "$how" in
        [A-Z]*) expect_exit "$kExitLimitMs" kill -s "$how" "$game_pid" ;;
        *) expect_closed xdotool "$how" "$window" ;;
      esac
    done
    stop_display
    start_windowed
    # Minimized it draws nothing, so no failing request tells that the window went: closed
    # once it is idle.
    xdotool windowminimize --sync "$window" sleep 1
    poll idle || fail "minimized, it still draws"
    expect_closed xdotool windowclose "$window"
    launch_windowed
    expect_closed xdotool windowactivate --sync "$window" key alt+F4
    ;;

  idle)
    start_windowed
    xdotool windowminimize --sync "$window" sleep 1
    minimized=$(cpu_over "$kMeasureSeconds")
    xdotool windowactivate --sync "$window" 2>/dev/null
    focus_elsewhere
    sleep 1
    unfocused=$(cpu_over "$kMeasureSeconds")
    focus_back
    sleep 1
    back=$(cpu_over 3)
    echo "CPU, % of a core: minimized $minimized, unfocused $unfocused, back $back"
    awk -v m="$minimized" -v u="$unfocused" -v b="$back" -v idle="$kIdleLimit" \
      -v least="$kDrawingLeast" 'BEGIN { exit !(m <= idle && u <= idle && b >= least) }' ||
      fail "more than $kIdleLimit % out of use, or less than $kDrawingLeast % back in use"
    xdotool windowminimize --sync "$window" sleep 1
    expect_exit "$kExitLimitMs" kill -s TERM "$game_pid"
    ;;

  focus)
    start_windowed
    # A held turns the tank on the spot, and the camera with it: the scene swings by (some
    # 20,000 pixels in half a second, fewer when a busy machine draws fewer frames; let go,
    # a handful).
    xdotool windowactivate --sync "$window" mousemove 360 22 key space keydown a 2>/dev/null
    swing=$(motion turning 1 "$kViewArea")
    focus_elsewhere
    xdotool keyup a sleep 1  # in the other window
    focus_back
    still=$(motion back 1 "$kViewArea")
    echo "A held: $swing pixels changed in 0.5 s; let go in another window: $still"
    [ "$swing" -ge 10000 ] && [ "$still" -le 2000 ] || fail "A held, then let go elsewhere"
    expect_exit "$kExitLimitMs" xdotool key Escape
    ;;

  *) fail "unknown check" ;;
esac
echo "PASS ($label)"
