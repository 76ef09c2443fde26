#!/usr/bin/env bash
# End-to-end checks of the real program in a real X window (Xvfb, software OpenGL),
# driven by real X key and mouse events.
# Usage: e2e.sh <case> <path to bin/ferrox> <close-window tool> <text-extent tool>
set -euo pipefail

check=$1
program=$(readlink -f "$2")
close_window=$3
text_extent=$4
bindir=$(dirname "$program")
work=$(mktemp -d)
source "$(dirname "$0")/display.sh"
game_pid=""

cleanup() {
  [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null || true
  stop_display
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($check): $*" >&2
  [ -f "$work/game.err" ] && sed 's/^/  stderr: /' "$work/game.err" | tail -5 >&2
  # The engine logs to standard output: its last words say why a window did not open.
  [ -f "$work/game.out" ] && grep -v '^Loaded' "$work/game.out" | tail -n 5 | sed 's/^/  engine: /' >&2
  exit 1
}

# Starts the game from its own directory and waits for its window to show a caption.
start_game() {
  (cd "$bindir" && exec env LIBGL_ALWAYS_SOFTWARE=1 ./ferrox >"$work/game.out" 2>"$work/game.err") &
  game_pid=$!
  for _ in $(seq 300); do
    window=$(xdotool search --name '^Ferrox \|' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && return 0
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended before its window appeared"
    sleep 0.1
  done
  fail "no window within 30 s"
}

# Waits up to $1 seconds for the game to end; sets exit_code.
wait_exit() {
  local deadline=$((SECONDS + $1))
  while kill -0 "$game_pid" 2>/dev/null; do
    [ $SECONDS -ge $deadline ] && fail "still running after $1 s"
    sleep 0.1
  done
  exit_code=0
  wait "$game_pid" || exit_code=$?
  game_pid=""
}

shot() { import -window root "$work/$1.png"; }

# Number of pixels that differ between two screenshots below the status line.
pixels_changed() {
  local a=$1 b=$2
  convert "$work/$a.png" -crop 1024x700+0+60 +repage "$work/$a.view.png"
  convert "$work/$b.png" -crop 1024x700+0+60 +repage "$work/$b.view.png"
  { compare -metric AE -fuzz 8% "$work/$a.view.png" "$work/$b.view.png" null: 2>&1 || true; } |
    awk '{ printf "%d", $1 }'
}

# Number of pixels that differ between two text masks.
masks_differ() {
  { compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1 || true; } | awk '{ printf "%d", $1 }'
}

# The white (text) pixels of a rectangle of a screenshot, as a bitmap.
text_mask() {  # shot width height x y out
  convert "$work/$1.png" -crop "$2x$3+$4+$5" +repage -channel RGB -threshold 96% -separate \
    -evaluate-sequence min "$work/$6.png"
}

case "$check" in
  caption)
    start_display
    start_game
    sleep 2
    caption=$(xdotool getwindowname "$window")
    [[ "$caption" =~ ^Ferrox\ \|\ \((.+)\)\ \(fps:\ ([0-9]+)\)$ ]] || fail "caption '$caption'"
    [[ "${BASH_REMATCH[1]}" == *OpenGL* ]] || fail "driver name '${BASH_REMATCH[1]}'"
    echo "caption: $caption"
    ;;

  scene)
    start_display
    start_game
    sleep 2
    shot scene
    colours=$(convert "$work/scene.png" -format %k info:)
    [ "$colours" -ge 1000 ] || fail "only $colours colours on screen"
    white=$(convert "$work/scene.png" -crop 290x40+10+10 +repage -channel RGB -threshold 96% \
      -separate -evaluate-sequence min -format '%[fx:int(mean*w*h+0.5)]' info:)
    [ "$white" -ge 150 ] || fail "only $white white pixels in the status rectangle"
    echo "colours: $colours, white status pixels: $white"
    ;;

  drive)
    start_display
    start_game
    # A low camera, so that the horizon and the cubes show the drive; from high above only
    # the faint sand would move.
    xdotool mousemove 512 24
    sleep 2
    # The speed field ends where "Gear: 1 | Speed: 0.00" ends; the frame rate lies beyond it.
    speed_end=$(cd "$bindir" && "$text_extent" "Gear: 1 | Speed: 0.00" | tail -n 1)
    width=$((speed_end + 10))
    shot paused
    text_mask paused "$width" 40 10 10 paused.text
    sleep 1
    shot paused2
    text_mask paused2 "$width" 40 10 10 paused2.text
    same=$(masks_differ paused.text paused2.text)
    [ "$same" = "0" ] || fail "the speed field changed while paused ($same pixels)"
    xdotool key space
    xdotool keydown w
    sleep 3
    xdotool keyup w
    shot driven
    text_mask driven "$width" 40 10 10 driven.text
    status=$(masks_differ paused.text driven.text)
    [ "$status" -gt 0 ] || fail "the speed field did not change"
    view=$(pixels_changed paused driven)
    [ "$view" -ge 20000 ] || fail "the view hardly changed ($view pixels)"
    echo "speed field: $status pixels changed; view: $view pixels changed"
    ;;

  mouse)
    start_display
    start_game
    sleep 2
    xdotool mousemove 100 200
    sleep 1
    shot before
    xdotool mousemove 700 300
    sleep 1
    shot after
    view=$(pixels_changed before after)
    [ "$view" -ge 20000 ] || fail "the view hardly turned ($view pixels)"
    echo "view: $view pixels changed"
    # Rows that once took the camera under the ground: the bottom of the view must be sand
    # (red well above blue), not sky or the sky box's floor seen from below.
    for row in 0 250 600; do
      xdotool mousemove 512 "$row"
      sleep 1
      shot "row$row"
      sand=$(convert "$work/row$row.png" -crop 1024x60+0+708 +repage -fx '(r-b>0.2)?1:0' \
        -format '%[fx:int(100*mean+0.5)]' info:)
      [ "$sand" -ge 90 ] || fail "row $row: only $sand % sand at the bottom of the view"
      echo "row $row: $sand % sand at the bottom"
    done
    ;;

  escape | close)
    start_display
    start_game
    sleep 1
    if [ "$check" = escape ]; then
      xdotool key Escape
    else
      "$close_window" "$window" || fail "could not send the close request"
    fi
    wait_exit 5
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

  nomedia)
    start_display
    mkdir -p "$work/copy/bin"
    cp "$program" "$work/copy/bin/ferrox"
    code=0
    (cd "$work/copy/bin" && ./ferrox >"$work/game.out" 2>"$work/game.err") || code=$?
    [ "$code" = "1" ] || fail "exit code $code without media"
    grep -q "\.\./media/env/mark2\.3ds" "$work/game.err" || fail "the missing file is not named"
    [ "$(grep -c '\.\./media/' "$work/game.err")" -eq 18 ] || fail "not every missing file is named"
    ;;

  *)
    fail "unknown check"
    ;;
esac
echo "PASS ($check)"
