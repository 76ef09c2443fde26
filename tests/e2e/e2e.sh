#!/usr/bin/env bash
# End-to-end checks of the real program in a real X window (Xvfb, software OpenGL),
# driven by real X key and mouse events:
#   scene      the drawn scene and its status line; the pointer turns the camera; then a
#              flood of 10,000 seeded key and mouse events, and Escape: exit 0. (The caption's
#              form and the camera above the ground, the unit tests check.)
#   sound      heard through OpenAL Soft's wave writer: silent while paused; driving off in
#              first gear the note rises, a shift up drops it with a clunk; louder with the
#              throttle; silent again once paused; no OpenAL error, everything closed.
#              a refused shift, a reset and turning on the spot are heard; every start and
#              stop of sound fades (no step larger than in steady driving, see listen.cpp).
#              --mute: nothing heard until M, and again after the next M. No device: one
#              line says so, and the game plays on
#   instruments  the gauges bottom right, with first gear's shift band; H hides and shows
#              them; the neutral hint below the status line's rectangle; a refused shift's
#              note, gone after two seconds
#   pad        a stand-in game pad (pad_standin.cpp, preloaded): Start unpauses, the left
#              stick turns the tank on the spot, back in its dead zone it lets go, and the
#              pad unplugged (its device node gone) lets go too
#   badinput   no media: every file of media/ named; then every asset in turn cut to half and
#              replaced by a directory: that file alone named, never a crash or a hang; a
#              mesh or the font exits 1 before it tries a window, a texture plays on to
#              Escape, exit 0. (The unit
#              tests and the regression corpus take each format's other damage, garbage and
#              the worst known files, through the same loading path; a file that cannot be
#              opened takes the directory's way.)
#   untextured a texture missing and one cut short: each named once, the game plays, and its
#              ground shows untextured
# Usage: e2e.sh <case> <path to bin/ferrox>; FERROX_LISTEN, the path to ferrox_listen (sound)
set -euo pipefail
source "$(dirname "$0")/../../tools/window.sh"
window_init "$1" "$2"

readonly kStatusArea=290x40+10+10  # px, the status line
readonly kViewArea=1024x640+0+120   # px, the scene below the texts
readonly kGaugeArea=300x50+700+704  # px, within the instruments, bottom right
readonly kStatusFoot=290x12+10+38   # px, the status line's rectangle below its text
readonly kHintArea=290x20+10+58     # px, where the neutral hint stands below it
readonly kNoteArea=500x26+262+116   # px, the middle of a cue's note
readonly kTableKeys=(w s a d q e j l i k v space c r)  # every key of the table but Escape

case "$label" in
  scene)
    start_display
    start_game
    sleep 2
    shot scene
    # The sand, bottom left beside the tank: textured, it shows hundreds of colours.
    colours=$(convert "$work/scene.png" -crop 300x150+0+600 +repage -format %k info:)
    white=$(pixels_where scene "$kStatusArea" 'min(r,min(g,b))>0.96')
    [ "$colours" -ge 100 ] && [ "$white" -ge 150 ] ||
      fail "$colours colours on the ground, $white white pixels in the status line"
    # The pointer turns the camera.
    act row0 mousemove 512 0 sleep 1
    act row600 mousemove 512 600 sleep 1
    view=$(pixels_changed row0 row600)
    [ "$view" -ge 20000 ] || fail "the view hardly turned with the pointer ($view pixels)"
    echo "ground colours: $colours, white status pixels: $white"
    # Then a seeded flood: key downs and ups of every table key, and mouse moves anywhere.
    LC_ALL=C awk -v keys="${kTableKeys[*]}" 'BEGIN {
      srand(6); count = split(keys, key, " ")
      for (i = 0; i < 10000; i++) {
        if (int(rand() * 5) == 0) printf "mousemove %d %d\n", int(rand() * 1024), int(rand() * 768)
        else printf "%s --delay 0 %s\n", rand() < 0.5 ? "keydown" : "keyup", key[1 + int(rand() * count)]
      }
    }' | xdotool - || fail "xdotool could not send the flood"
    expect_exit 5000 xdotool key Escape
    ;;

  sound)
    start_display
    # OpenAL Soft writes what it would play into $work/<name>.wav, in real time, in place of a
    # device; its own configuration file chooses that. Log level 2: it warns of every error it
    # raises and of whatever is left open at the end.
    hear() {  # <name> [ferrox's options]
      printf '%s\n' '[general]' drivers=wave channels=mono frequency=22050 sample-type=int16 \
        '[wave]' "file=$work/$1.wav" >"$work/$1.conf"
      launch ALSOFT_CONF="$work/$1.conf" ALSOFT_LOGLEVEL=2 ./ferrox "${@:2}"
      await_window
    }
    heard() {  # <name> [listen's times]: after Escape, no warning, and the checks of the sound
      expect_exit 5000 xdotool key Escape
      ! grep 'AL lib' "$work/game.err" | grep -v 'No capture backend' | grep . ||
        fail "OpenAL Soft warned"
      "${FERROX_LISTEN:?}" "$work/$1.wav" "${@:2}" || fail "$1 did not sound right"
    }
    # Space and W at 0 s, Q at 3 s, W up at 5 s, Space at 6.5 s.
    hear drive
    xdotool sleep 1.5 key space keydown w sleep 3 key q sleep 2 keyup w sleep 1.5 key space \
      sleep 1.5
    heard drive 3 5 6.5
    # The cues and the fades: Space at 0 s, E E and W (backwards), Q refused at 3 s, W up,
    # R at 4 s, A held from 5 to 7 s; then M at 8 and 9 s, Space at 10 and 11 s, the window
    # unmapped at 12 s and mapped at 13 s, Escape at 14 s: four starts and four stops.
    hear cues
    xdotool sleep 1.5 key space sleep 0.3 key e key e keydown w sleep 2.7 key q sleep 0.5 \
      keyup w sleep 0.5 key r sleep 1 keydown a sleep 2 keyup a sleep 1 key m sleep 1 key m \
      sleep 1 key space sleep 1 key space sleep 1 windowunmap "$window" sleep 1 \
      windowmap "$window" sleep 1
    heard cues cues 3 4 5 7 4 4
    # Muted from the start: Space and W unheard; M, 1.5 s of sound; M again, silent.
    hear mute --mute
    xdotool sleep 1 key space keydown w sleep 1.5 key m sleep 1.5 key m sleep 1.5 keyup w
    heard mute
    # No device: one line says so; the game plays on and ends as ever.
    launch ALSOFT_CONF=/dev/null ALSOFT_DRIVERS=none ./ferrox
    await_window
    expect_exit 5000 xdotool sleep 1 key space sleep 1 key Escape
    [ "$(grep -v -x 'ferrox: full screen is not available here, playing in a window' \
      "$work/game.err")" = \
      "ferrox: no audio device, playing silently" ] || fail "without a device, not that one line"
    ;;

  instruments)
    start_display
    start_game
    sleep 2
    # Paused in first gear: the gauges bottom right, first gear's shift band amber on the
    # engine's bar; H hides them, H again shows them.
    shot shown
    act hidden key h sleep 1
    act again key h sleep 1
    amber=$(pixels_where shown "$kGaugeArea" 'r>0.9&&g>0.7&&g<0.93&&b<0.5')
    dark=$(pixels_where shown "$kGaugeArea" 'max(r,max(g,b))<0.3')
    toggled=$(pixels_changed shown hidden "$kGaugeArea")
    back=$(pixels_changed shown again "$kGaugeArea")
    echo "gauges: $amber amber and $dark dark pixels; H changed $toggled, H again left $back"
    [ "$amber" -ge 40 ] && [ "$dark" -ge 8000 ] && [ "$toggled" -ge 4000 ] && [ "$back" -le 200 ] ||
      fail "the gauges or their toggle, see above"
    # R: the neutral hint, whose band keeps below the status line's rectangle.
    act neutral key r sleep 1
    under=$(pixels_changed again neutral "$kStatusFoot")
    hint=$(pixels_changed again neutral "$kHintArea")
    echo "neutral hint: changed $hint pixels below the status line, $under in its rectangle's foot"
    [ "$hint" -ge 1000 ] && [ "$under" -le 20 ] || fail "the hint, see above"
    # Driving backwards, Q is refused: a note says why, for about two seconds.
    xdotool key space key q key e key e keydown w sleep 2.5
    act refused key q sleep 0.3
    xdotool keyup w key s
    act gone sleep 2.5
    said=$(pixels_where refused "$kNoteArea" 'min(r,min(g,b))>0.9')
    band=$(pixels_where refused "$kNoteArea" 'max(r,max(g,b))<0.3')
    left=$(pixels_where gone "$kNoteArea" 'max(r,max(g,b))<0.3')
    echo "the refusal's note: $said white and $band dark pixels, $left dark 2.8 s later"
    [ "$said" -ge 300 ] && [ "$band" -ge 4000 ] && [ "$left" -le $((band / 4)) ] ||
      fail "the refused shift's note, see above"
    expect_exit 5000 xdotool key Escape
    ;;

  pad)
    start_display
    mkfifo "$work/js0"  # the program's /dev/input/js0
    # A sanitizer build's runtime must come first among the preloaded libraries.
    asan=$(ldd "$program" | awk '/libasan/ { print $3 }')
    launch LD_PRELOAD="${asan:+$asan:}${FERROX_PAD_STANDIN:?the stand-in pad library}" \
      FERROX_PAD_DIR="$work" ./ferrox --verbose
    await_window
    grep -q "^ferrox: Found joystick 0, 8 axes, 11 buttons 'Ferrox stand-in pad'" "$work/game.err" ||
      fail "the engine found no stand-in pad"
    exec 3<>"$work/js0"  # read and write: opening never waits, and the pipe stays open
    # The kernel's js_event records: time, value, type (1 button, 2 axis), number.
    event() { perl -e 'print pack("LsCC", 0, $ARGV[0], $ARGV[1], $ARGV[2])' -- "$@" >&3; }
    # A button's press: the engine posts the pad's state once a run, so it outlasts a frame.
    tap() { event 1 1 "$1" && sleep 0.3 && event 0 1 "$1" && sleep 0.3; }
    stick() { event "$1" 2 0; }  # the left stick's x: -32767 fully left
    # The camera low behind the tank: the sky's clouds swing by as the tank turns; from
    # higher up mostly the sand would, which changes little.
    xdotool mousemove 360 8 sleep 1
    tap 7  # Start: paused, the tank would not turn below
    # Y resets the tank to its start heading, in neutral, where it turns fastest; then the
    # stick held left turns it; back inside the dead zone, or unplugged (the node gone: the
    # program looks at it once a second), it lets go.
    tap 3 && stick -32767
    turned=$(motion turned 1.5 "$kViewArea")
    stick 6000
    rest=$(motion rest 1.5 "$kViewArea")
    tap 3 && stick -32767
    again=$(motion again 1.5 "$kViewArea")
    rm "$work/js0"
    unplugged=$(motion unplugged 2 "$kViewArea")
    echo "pixels changed: the stick left $turned, at rest $rest, left again $again," \
      "unplugged $unplugged"
    [ "$turned" -ge 20000 ] && [ "$rest" -le 2000 ] && [ "$again" -ge 20000 ] &&
      [ "$unplugged" -le 2000 ] || fail "the pad's stick, see above"
    expect_exit 5000 xdotool key Escape
    ;;

  badinput)
    start_display
    tree="$work/tree"
    mkdir -p "$tree/bin"
    cp "$program" "$tree/bin/ferrox"
    play() {  # the copy in the tree without a display, its exit code into $code
      code=0
      (cd "$tree/bin" && exec timeout 20 env -u DISPLAY LIBGL_ALWAYS_SOFTWARE=1 ./ferrox \
        >"$work/game.out" 2>"$work/game.err") || code=$?
      # A mesh or the font ends it before it tries a window.
      ! grep -q 'could not open the window' "$work/game.err" || fail "it went on to the window"
    }
    # With no media, the program exits 1 naming every file of media/, and only those.
    play
    mapfile -t assets < <(sed -n 's|^ferrox: cannot load \.\./media/\(.*\): cannot be read: no such file\(; drawn untextured\)\{0,1\}$|\1|p' "$work/game.err" | sort)
    [ "$code" = 1 ] && [ "${assets[*]}" = "$(cd "$bindir/../media" && find . -type f ! -name '.*' -printf '%P\n' | sort | xargs)" ] ||
      fail "exit code $code without media, naming: ${assets[*]}"
    cp -r "$bindir/../media/." "$tree/media"
    textures=0
    for asset in "${assets[@]}"; do
      path="$tree/media/$asset"
      for kind in half directory; do
        case "$kind" in
          half) truncate -s $(($(stat -c %s "$path") / 2)) "$path" ;;
          directory) rm "$path" && mkdir "$path" ;;
        esac
        if [[ $asset == *.jpg ]]; then
          # A texture: named, and the game plays on without it until Escape.
          bindir="$tree/bin" launch ./ferrox
          await_window
          expect_exit 5000 xdotool key Escape >/dev/null
          grep -q -F "../media/$asset: " "$work/game.err" &&
            [ "$(grep -c '\.\./media/' "$work/game.err")" = 1 ] &&
            grep -q 'drawn untextured$' "$work/game.err" ||
            fail "$asset $kind: not that texture alone named as drawn untextured"
          textures=$((textures + 1))
        else
          play
          [ "$code" = 1 ] && no_crash_report && grep -q -F "../media/$asset" "$work/game.err" &&
            [ "$(grep -c '\.\./media/' "$work/game.err")" = 1 ] ||
            fail "$asset $kind: exit code $code, or not that file alone named"
        fi
        rm -rf "$path" && cp "$bindir/../media/$asset" "$path"
      done
    done
    echo "$((${#assets[@]} * 2)) damaged-asset runs: each naming only the damaged file;" \
      "$textures with a texture damaged played on to Escape, the others exit 1"
    ;;

  untextured)
    # The cubes' texture missing and the sand's cut short: each named once, and the game
    # plays with those surfaces untextured.
    start_display
    tree="$work/tree"
    mkdir -p "$tree/bin"
    cp "$program" "$tree/bin/ferrox"
    cp -rL "$bindir/../media" "$tree/media"  # -L: a build tree's media is a link to the sources'
    rm "$tree/media/brickwall.jpg"
    truncate -s $(($(stat -c %s "$tree/media/env/sand3.jpg") / 2)) "$tree/media/env/sand3.jpg"
    bindir="$tree/bin" launch ./ferrox
    await_window
    sleep 2
    shot untextured
    # The sand, bottom left beside the tank: untextured, one colour (textured, hundreds);
    # the sky still textured.
    colours=$(convert "$work/untextured.png" -crop 300x150+0+600 +repage -format %k info:)
    sky=$(convert "$work/untextured.png" -crop 1024x150+0+60 +repage -format %k info:)
    [ "$colours" -le 4 ] && [ "$sky" -ge 100 ] ||
      fail "$colours colours on the ground, which has no texture, $sky in the sky"
    expect_exit 5000 xdotool key Escape
    [ "$(grep -c '\.\./media/' "$work/game.err")" = 2 ] &&
      grep -q -x 'ferrox: cannot load \.\./media/env/sand3\.jpg: JPEG: .*; drawn untextured' "$work/game.err" &&
      grep -q -x 'ferrox: cannot load \.\./media/brickwall\.jpg: cannot be read: no such file; drawn untextured' "$work/game.err" ||
      fail "not the two textures named, each once, as drawn untextured"
    echo "colours: $colours on the ground without its texture, $sky in the sky"
    ;;

  *) fail "unknown check" ;;
esac
echo "PASS ($label)"
