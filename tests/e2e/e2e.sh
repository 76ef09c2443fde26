#!/usr/bin/env bash
# End-to-end checks of the real program in a real X window (Xvfb, software OpenGL),
# driven by real X key and mouse events:
#   scene      the caption, the drawn scene and its status line; the pointer turns the
#              camera, and at no row does it look from under the ground
#   drive      Space and W: the status line changes and the chase camera follows the tank;
#              then a flood of 10,000 seeded key and mouse events, and Escape: exit 0
#   nodisplay  no display: exit 1 at once, saying why
#   cli        --help, --version and an unknown option, without a window; the engine's log on
#              stderr, one "ferrox: " line a message: its warnings by default, all of it with
#              --verbose; --windowed does not try the full screen
#   keys       the pause banner, F1's panel and the neutral hint on screen; Q and F1 held
#              through the window system's autorepeat act once
#   signals    SIGINT, SIGTERM and SIGHUP: exit 0 within a second
#   closed     the window killed, destroyed, or closed by the window manager: exit 0 with a
#              message, no X error
#   idle       under a window manager: minimized or without the focus the program uses next
#              to no CPU, and draws again when back; a signal still ends it at once
#   focus      under a window manager: a key let go in another window no longer holds its
#              command when the focus comes back
#   badinput   no media: every file of media/ named; then every asset in turn cut to half,
#              replaced by garbage, made unreadable, replaced by a directory, and replaced
#              by the worst of its format in the regression corpus (a JPEG 30000 px wide, a
#              3DS material name without its end, a run-length BMP): exit 1 naming that
#              file, never a crash or a hang
# Usage: e2e.sh <case> <path to bin/ferrox>; FERROX_VERSION, the version --version must show
set -euo pipefail
source "$(dirname "$0")/../../tools/window.sh"
window_init "$1" "$2"

readonly kGarbageSeed=7
readonly kFloodEvents=10000
readonly kFloodSeed=6
readonly kTableKeys=(w s a d q e j l i k v space c r)  # every key of the table but Escape
readonly kExitLimitMs=1000   # a signal ends the program within this
readonly kIdleLimit=2        # % of one core, at most, while minimized or without the focus
readonly kDrawingLeast=5     # % of one core, at least, while drawing, on a busy machine too
readonly kMeasureSeconds=10  # s of CPU time measured per state
readonly kBannerArea=440x44+292+60  # px, round the pause banner near the top
readonly kPanelArea=440x300+292+234  # px, the middle of the keys' panel
readonly kHintArea=230x28+0+34      # px, the neutral hint below the status line
readonly kGearArea=64x22+8+8        # px, "Gear: N" of the status line
readonly kViewArea=1024x640+0+120   # px, the scene below the texts

wm_pid=""
other_pid=""
e2e_cleanup() {
  set +e
  [ -n "$other_pid" ] && kill "$other_pid" 2>/dev/null
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && { wait "$wm_pid" 2>/dev/null || true; }
  window_cleanup
}
trap e2e_cleanup EXIT

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
  xdotool windowactivate --sync "$window" || fail "the game's window did not take the focus back"
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

# Pixels in area $2 of screenshot $1 whose brightest channel is above $3 % (white text) or,
# with a leading "-", below it (a dark band).
count_pixels() {
  local test="(max(r,max(g,b))>$3/100)?1:0"
  [ "${3:0:1}" = - ] && test="(max(r,max(g,b))<${3:1}/100)?1:0"
  convert "$work/$1.png" -crop "$2" +repage -fx "$test" -format '%[fx:int(mean*w*h+0.5)]' info:
}


case "$label" in
  scene)
    start_display
    start_game
    sleep 2
    caption=$(xdotool getwindowname "$window")
    [[ "$caption" =~ ^Ferrox\ \|\ \((.+)\)\ \(fps:\ ([0-9]+)\)$ ]] || fail "caption '$caption'"
    [[ "${BASH_REMATCH[1]}" == *OpenGL* ]] || fail "driver name '${BASH_REMATCH[1]}'"
    shot scene
    # The sand, bottom left beside the tank: textured, it shows hundreds of colours.
    colours=$(convert "$work/scene.png" -crop 300x150+0+600 +repage -format %k info:)
    [ "$colours" -ge 100 ] || fail "only $colours colours on the ground"
    white=$(convert "$work/scene.png" -crop 290x40+10+10 +repage -channel RGB -threshold 96% \
      -separate -evaluate-sequence min -format '%[fx:int(mean*w*h+0.5)]' info:)
    [ "$white" -ge 150 ] || fail "only $white white pixels in the status rectangle"
    echo "caption: $caption; ground colours: $colours, white status pixels: $white"
    # The pointer turns the camera; at rows that once took it under the ground the bottom of
    # the view must be sand (red well above blue), not sky or the sky box's floor from below.
    for row in 0 250 600; do
      xdotool mousemove 512 "$row"
      sleep 1
      shot "row$row"
      sand=$(convert "$work/row$row.png" -crop 1024x60+0+708 +repage -fx '(r-b>0.2)?1:0' \
        -format '%[fx:int(100*mean+0.5)]' info:)
      [ "$sand" -ge 90 ] || fail "row $row: only $sand % sand at the bottom of the view"
      echo "row $row: $sand % sand at the bottom"
    done
    view=$(pixels_changed row0 row250)
    [ "$view" -ge 20000 ] || fail "the view hardly turned with the pointer ($view pixels)"
    ;;

  drive)
    start_display
    start_game
    # A low camera, so that the horizon and the cubes show the drive; from high above only
    # the faint sand would move.
    xdotool mousemove 512 24
    sleep 2
    shot paused
    xdotool key space
    xdotool keydown w
    sleep 3
    xdotool keyup w
    shot driven
    # The status line's figures and the view below it: the chase camera follows the tank.
    status=$(pixels_changed paused driven 290x40+10+10)
    [ "$status" -gt 0 ] || fail "the status line did not change"
    view=$(pixels_changed paused driven 1024x700+0+60)
    [ "$view" -ge 20000 ] || fail "the view hardly changed ($view pixels)"
    echo "status line: $status pixels changed; view: $view pixels changed"
    # Then a seeded flood: key downs and ups of every table key, and mouse moves anywhere.
    LC_ALL=C awk -v n="$kFloodEvents" -v seed="$kFloodSeed" -v keys="${kTableKeys[*]}" 'BEGIN {
      srand(seed); count = split(keys, key, " ")
      for (i = 0; i < n; i++) {
        if (int(rand() * 5) == 0) printf "mousemove %d %d\n", int(rand() * 1024), int(rand() * 768)
        else printf "%s --delay 0 %s\n", rand() < 0.5 ? "keydown" : "keyup", key[1 + int(rand() * count)]
      }
    }' >"$work/flood.xdo"
    xdotool - <"$work/flood.xdo" || fail "xdotool could not send the flood"
    sleep 1
    kill -0 "$game_pid" 2>/dev/null || fail "the game died in the flood"
    [[ "$(xdotool getwindowname "$window")" =~ ^Ferrox\ \| ]] || fail "no caption after the flood"
    xdotool key Escape
    await_exit 5
    [ "$exit_code" = "0" ] || fail "exit code $exit_code after Escape"
    no_crash_report || fail "a crash report"
    ;;

  nodisplay)
    start=$(date +%s%N)
    code=0
    (cd "$bindir" && env -u DISPLAY ./ferrox >"$work/game.out" 2>"$work/game.err") || code=$?
    elapsed_ms=$((($(date +%s%N) - start) / 1000000))
    [ "$code" = "1" ] || fail "exit code $code without a display"
    grep -q "could not open the window: DISPLAY is not set" "$work/game.err" ||
      fail "no message saying why"
    [ "$elapsed_ms" -le 1000 ] || fail "took $elapsed_ms ms to give up"
    echo "exit 1 in $elapsed_ms ms: $(cat "$work/game.err")"
    ;;

  badinput)
    start_display
    tree="$work/tree"
    mkdir -p "$tree/bin"
    cp "$program" "$tree/bin/ferrox"
    # With no media, the program exits 1 naming every file of media/, and only those.
    code=0
    (cd "$tree/bin" && ./ferrox >"$work/game.out" 2>"$work/game.err") || code=$?
    [ "$code" = 1 ] || fail "exit code $code without media"
    mapfile -t assets < <(sed -n 's|^ferrox: cannot read \.\./media/||p' "$work/game.err" | sort)
    [ "${assets[*]}" = "$(cd "$bindir/../media" && find . -type f ! -name '.*' -printf '%P\n' | sort | xargs)" ] ||
      fail "named without media: ${assets[*]}"
    cp -r "$bindir/../media/." "$tree/media"
    corpus=$(readlink -f "$(dirname "$0")/../corpus")

    # As root, permissions do not stop reading: the unreadable runs drop to nobody.
    as_reader=()
    if [ "$(id -u)" = 0 ]; then
      as_reader=(setpriv --reuid=65534 --regid=65534 --clear-groups)
      chmod 755 "$work" && chmod -R a+rX "$tree"
      "${as_reader[@]}" true || fail "cannot drop to nobody for the unreadable runs"
    fi

    damage() {  # kind, path
      local size
      size=$(stat -c %s "$2")
      case "$1" in
        half) truncate -s $((size / 2)) "$2" ;;
        garbage)
          LC_ALL=C awk -v n="$size" -v seed="$kGarbageSeed" \
            'BEGIN { srand(seed); for (i = 0; i < n; i++) printf "%c", int(rand() * 256) }' >"$2" ;;
        unreadable) chmod 000 "$2" ;;
        directory) rm "$2" && mkdir "$2" ;;
        worst) cp "$corpus/$worst" "$2" ;;  # the regression corpus's worst of the format
      esac
    }

    runs=0
    refused_at_load=0  # after the window opened, by the guard or the engine's loader
    for asset in "${assets[@]}"; do
      case "$asset" in
        *.jpg) worst=jpeg/wide-30000.jpg ;;
        *.3ds) worst=3ds/unterminated-material-name.3ds ;;
        *.bmp) worst=bmp/rle8-24bpp.bmp ;;
      esac
      for kind in half garbage unreadable directory worst; do
        path="$tree/media/$asset"
        damage "$kind" "$path"
        runner=()
        [ "$kind" = unreadable ] && runner=("${as_reader[@]}")
        code=0
        (cd "$tree/bin" && exec timeout 20 env LIBGL_ALWAYS_SOFTWARE=1 "${runner[@]}" ./ferrox \
          >"$work/game.out" 2>"$work/game.err") || code=$?
        [ "$code" != 124 ] || fail "$asset $kind: the program took it and ran"
        [ "$code" = 1 ] || fail "$asset $kind: exit code $code"
        no_crash_report || fail "$asset $kind: a crash report"
        grep -q -F "../media/$asset" "$work/game.err" || fail "$asset $kind: the file is not named"
        [ "$(grep -c '\.\./media/' "$work/game.err")" = 1 ] || fail "$asset $kind: other files named"
        grep -q "cannot load" "$work/game.err" && refused_at_load=$((refused_at_load + 1))
        rm -rf "$path"
        cp "$bindir/../media/$asset" "$path"
        chmod a+r "$path"
        runs=$((runs + 1))
      done
    done
    echo "$runs damaged-asset runs, $refused_at_load of them refused at loading:" \
      "each exit 1 naming only the damaged file"
    ;;

  cli)
    code=0
    (cd "$bindir" && env -u DISPLAY ./ferrox --help >"$work/help.out" 2>"$work/help.err") || code=$?
    [ "$code" = 0 ] || fail "--help: exit code $code"
    grep -q '^Usage: ferrox' "$work/help.out" || fail "--help: no usage on stdout"
    [ ! -s "$work/help.err" ] || fail "--help wrote on stderr"
    for option in --windowed --verbose --help --version; do
      grep -q -e "$option" "$work/help.out" || fail "the usage does not name $option"
    done
    shown=$(cd "$bindir" && env -u DISPLAY ./ferrox --version) || fail "--version failed"
    [ "$shown" = "ferrox ${FERROX_VERSION:?}" ] || fail "--version: '$shown'"
    code=0
    (cd "$bindir" && env -u DISPLAY ./ferrox --windowed --fast >"$work/bad.out" 2>"$work/bad.err") ||
      code=$?
    [ "$code" = 2 ] || fail "exit code $code for an unknown option"
    [ ! -s "$work/bad.out" ] || fail "an unknown option wrote on stdout"
    grep -q "^ferrox: unknown option '--fast'" "$work/bad.err" || fail "the unknown option is not named"
    grep -q '^Usage: ferrox' "$work/bad.err" || fail "no usage on stderr for an unknown option"
    echo "--help, --version ($shown) and an unknown option (exit 2) as they should"
    manual="$(dirname "$0")/../../packaging/ferrox.6.in"
    for option in windowed verbose help version; do
      grep -q -F -e "\\-\\-$option" "$manual" || fail "the manual page does not name --$option"
    done
    grep -q -x '\.B F1' "$manual" || fail "the manual page does not name F1"

    # The engine's log: stderr only, each line after "ferrox: ". Xvfb has no video modes to
    # switch, so the full-screen attempt draws a warning, which --windowed never makes.
    start_display
    for run in default windowed verbose; do
      case "$run" in
        default) args=() ;;
        windowed) args=(--windowed) ;;
        verbose) args=(--windowed --verbose) ;;
      esac
      launch ./ferrox "${args[@]}"
      first_frame_then_escape
      [ ! -s "$work/game.out" ] || fail "$run: the engine wrote on stdout: $(head -n 1 "$work/game.out")"
      if grep -v '^ferrox: ' "$work/game.err" >"$work/stray"; then
        fail "$run: a line without the prefix: $(head -n 1 "$work/stray")"
      fi
      fullscreen=$(grep -c 'switch to fullscreen mode' "$work/game.err" || true)
      information=$(grep -c '^ferrox: Irrlicht Engine version 1\.8' "$work/game.err" || true)
      case "$run" in
        default) [ "$fullscreen" = 1 ] && [ "$information" = 0 ] ;;
        windowed) [ "$fullscreen" = 0 ] && [ "$information" = 0 ] ;;
        verbose) [ "$fullscreen" = 0 ] && [ "$information" = 1 ] ;;
      esac || fail "$run: $fullscreen full-screen warnings, $information version lines"
      echo "$run: $(wc -l <"$work/game.err") lines of log, all 'ferrox: '"
    done
    ;;

  keys)
    start_display
    start_game
    sleep 2
    shot paused
    band=$(count_pixels paused "$kBannerArea" -30)
    text=$(count_pixels paused "$kBannerArea" 90)
    [ "$band" -ge 5000 ] && [ "$text" -ge 300 ] ||
      fail "no pause banner: $band dark and $text white pixels"
    echo "pause banner: $band dark, $text white pixels"

    xdotool keydown F1 sleep 1.5 keyup F1  # held: the panel shows once, whatever the repeats
    sleep 0.5
    shot panel
    band=$(count_pixels panel "$kPanelArea" -30)
    text=$(count_pixels panel "$kPanelArea" 90)
    [ "$band" -ge 50000 ] && [ "$text" -ge 2000 ] ||
      fail "no keys panel: $band dark and $text white pixels"
    echo "keys panel: $band dark, $text white pixels"
    xdotool key F1
    sleep 0.5
    shot hidden
    left=$(pixels_changed paused hidden "$kPanelArea")
    [ "$left" -le 100 ] || fail "the panel did not go: $left pixels differ from before"

    # Q held through its autorepeat shifts once: Q held, then E, shows gear 1 again.
    xdotool key q
    sleep 0.5
    shot second
    shifted=$(pixels_changed paused second "$kGearArea")
    [ "$shifted" -ge 20 ] || fail "Q did not change the gear shown ($shifted pixels)"
    xdotool key e
    xdotool keydown q sleep 1.5 keyup q
    xdotool key e
    sleep 0.5
    shot held
    extra=$(pixels_changed paused held "$kGearArea")
    [ "$extra" = 0 ] || fail "Q held shifted more than once ($extra pixels differ from gear 1)"

    xdotool key r
    sleep 0.5
    shot neutral
    band=$(count_pixels neutral "$kHintArea" -30)
    text=$(count_pixels neutral "$kHintArea" 90)
    [ "$band" -ge 2000 ] && [ "$text" -ge 150 ] ||
      fail "no neutral hint: $band dark and $text white pixels"
    echo "neutral hint: $band dark, $text white pixels; Q held shifted once"
    xdotool key Escape
    await_exit 5
    [ "$exit_code" = 0 ] || fail "exit code $exit_code after Escape"
    ;;

  signals)
    start_display
    for signal in INT TERM HUP; do
      start_game
      sleep 2
      start=$(date +%s%N)
      kill -s "$signal" "$game_pid"
      await_exit 5
      elapsed_ms=$((($(date +%s%N) - start) / 1000000))
      [ "$exit_code" = 0 ] || fail "SIG$signal: exit code $exit_code"
      [ "$elapsed_ms" -le "$kExitLimitMs" ] || fail "SIG$signal: took $elapsed_ms ms"
      no_crash_report || fail "SIG$signal: a crash report"
      echo "SIG$signal: exit 0 in $elapsed_ms ms"
    done
    ;;

  closed)
    start_display
    for how in windowkill windowclose; do
      start_game
      sleep 2
      xdotool "$how" "$window"
      await_exit 5
      [ "$exit_code" = 0 ] || fail "$how: exit code $exit_code"
      grep -qx 'ferrox: the window was closed from outside' "$work/game.err" ||
        fail "$how: no message"
      ! grep -q -E 'X Error|X connection|XIO' "$work/game.err" || fail "$how: an X error"
      echo "$how: exit 0 with the message"
    done
    start_wm
    launch ./ferrox --windowed
    await_window
    sleep 2
    xdotool windowactivate --sync "$window" key alt+F4
    await_exit 5
    [ "$exit_code" = 0 ] || fail "closed by the window manager: exit code $exit_code"
    grep -qx 'ferrox: the window was closed from outside' "$work/game.err" ||
      fail "closed by the window manager: no message"
    echo "closed by the window manager: exit 0 with the message"
    ;;

  idle)
    start_display
    start_wm
    launch ./ferrox --windowed
    await_window
    sleep 2
    playing=$(cpu_over "$kMeasureSeconds")
    xdotool windowminimize --sync "$window"
    sleep 1
    minimized=$(cpu_over "$kMeasureSeconds")
    xdotool windowactivate --sync "$window"
    focus_elsewhere
    sleep 1
    unfocused=$(cpu_over "$kMeasureSeconds")
    focus_back
    sleep 1
    again=$(cpu_over 3)
    echo "CPU, % of a core: playing $playing, minimized $minimized, unfocused $unfocused," \
      "back $again"
    for state in minimized unfocused; do
      awk -v v="${!state}" -v limit="$kIdleLimit" 'BEGIN { exit !(v <= limit) }' ||
        fail "$state: ${!state} % of a core"
    done
    awk -v v="$again" -v least="$kDrawingLeast" 'BEGIN { exit !(v >= least) }' ||
      fail "back in use, it hardly draws: $again % of a core"
    # Waiting, it still ends at once on a signal.
    xdotool windowminimize --sync "$window"
    sleep 1
    start=$(date +%s%N)
    kill -s TERM "$game_pid"
    await_exit 5
    elapsed_ms=$((($(date +%s%N) - start) / 1000000))
    [ "$exit_code" = 0 ] || fail "SIGTERM while minimized: exit code $exit_code"
    [ "$elapsed_ms" -le "$kExitLimitMs" ] || fail "SIGTERM while minimized: took $elapsed_ms ms"
    echo "SIGTERM while minimized: exit 0 in $elapsed_ms ms"
    ;;

  focus)
    start_display
    start_wm
    launch ./ferrox --windowed
    await_window
    xdotool windowactivate --sync "$window" mousemove 360 22 key space
    # A held turns the tank on the spot, and the camera with it: the scene swings by.
    xdotool keydown a
    sleep 1
    shot turning1
    sleep 0.5
    shot turning2
    swing=$(pixels_changed turning1 turning2 "$kViewArea")
    [ "$swing" -ge 20000 ] || fail "A held hardly turned the view ($swing pixels)"
    focus_elsewhere
    xdotool keyup a  # to the other window
    sleep 1
    focus_back
    sleep 1
    shot back1
    sleep 0.5
    shot back2
    still=$(pixels_changed back1 back2 "$kViewArea")
    [ "$still" -le 2000 ] || fail "the tank still turns after A went up elsewhere ($still pixels)"
    echo "A held: $swing pixels changed in 0.5 s; let go in another window: $still"
    xdotool key Escape
    await_exit 5
    [ "$exit_code" = 0 ] || fail "exit code $exit_code after Escape"
    ;;

  *)
    fail "unknown check"
    ;;
esac
echo "PASS ($label)"
