#!/usr/bin/env bash
# End-to-end checks of the real program in a real X window (Xvfb, software OpenGL),
# driven by real X key and mouse events:
#   scene      the caption, the drawn scene and its status line; the pointer turns the
#              camera, and at no row does it look from under the ground
#   drive      Space and W: the status line changes and the chase camera follows the tank;
#              then a flood of 10,000 seeded key and mouse events, and Escape: exit 0
#   nodisplay  no display: exit 1 at once, saying why
#   badinput   no media: every file of media/ named; then every asset in turn cut to half,
#              replaced by garbage, made unreadable, replaced by a directory, and replaced
#              by the worst of its format in the regression corpus (a JPEG 30000 px wide, a
#              3DS material name without its end, a run-length BMP): exit 1 naming that
#              file, never a crash or a hang
# Usage: e2e.sh <case> <path to bin/ferrox>
set -euo pipefail
source "$(dirname "$0")/../../tools/window.sh"
window_init "$1" "$2"

readonly kGarbageSeed=7
readonly kFloodEvents=10000
readonly kFloodSeed=6
readonly kTableKeys=(w s a d q e j l i k v space c r)  # every key of the table but Escape


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

  *)
    fail "unknown check"
    ;;
esac
echo "PASS ($label)"
