#!/usr/bin/env bash
# End-to-end checks of the real program in a real X window (Xvfb, software OpenGL),
# driven by real X key and mouse events. Escape after a flood of events, the mouse's
# camera and every missing or damaged asset are hard_use.sh's.
# Usage: e2e.sh <case> <path to bin/ferrox> <close-window tool> <text-extent tool>
set -euo pipefail
source "$(dirname "$0")/window.sh"
window_init "$1" "$2"
close_window=$3
text_extent=$4

# The white (text) pixels of a rectangle of a screenshot, as a bitmap.
text_mask() {  # shot width height x y out
  convert "$work/$1.png" -crop "$2x$3+$4+$5" +repage -channel RGB -threshold 96% -separate \
    -evaluate-sequence min "$work/$6.png"
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
    colours=$(convert "$work/scene.png" -format %k info:)
    [ "$colours" -ge 1000 ] || fail "only $colours colours on screen"
    text_mask scene 290 40 10 10 status
    white=$(convert "$work/status.png" -format '%[fx:int(mean*w*h+0.5)]' info:)
    [ "$white" -ge 150 ] || fail "only $white white pixels in the status rectangle"
    echo "caption: $caption; colours: $colours, white status pixels: $white"
    ;;

  drive)
    start_display
    start_game
    sleep 2
    # The speed field ends where "Gear: 1 | Speed: 0.00" ends; the frame rate lies beyond it.
    speed_end=$(cd "$bindir" && "$text_extent" "Gear: 1 | Speed: 0.00" | tail -n 1)
    for name in paused paused2; do
      shot $name
      text_mask $name $((speed_end + 10)) 40 10 10 $name.text
      sleep 1
    done
    same=$(pixels_changed paused.text paused2.text)
    [ "$same" = "0" ] || fail "the speed field changed while paused ($same pixels)"
    xdotool key space
    xdotool keydown w
    sleep 3
    xdotool keyup w
    shot driven
    text_mask driven $((speed_end + 10)) 40 10 10 driven.text
    status=$(pixels_changed paused.text driven.text)
    [ "$status" -gt 0 ] || fail "the speed field did not change"
    view=$(pixels_changed paused driven 1024x700+0+60)
    [ "$view" -ge 20000 ] || fail "the view hardly changed ($view pixels)"
    echo "speed field: $status pixels changed; view: $view pixels changed"
    ;;

  close)
    start_display
    start_game
    sleep 1
    "$close_window" "$window" || fail "could not send the close request"
    await_exit 5
    [ "$exit_code" = "0" ] || fail "exit code $exit_code"
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

  *)
    fail "unknown check"
    ;;
esac
echo "PASS ($label)"
