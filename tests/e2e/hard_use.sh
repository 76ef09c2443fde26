#!/usr/bin/env bash
# Hard use of the real program in a real X window (Xvfb, software OpenGL):
#   flood     10,000 random key and mouse events from the key table, then Escape: exit 0
#   badinput  every asset in turn cut to half, replaced by garbage, made unreadable,
#             replaced by a directory, and damaged in the worst way its format allows (a
#             JPEG 30000 px wide, a 3DS material name without its end, a run-length BMP):
#             exit 1 naming that file, never a crash or a hang
# Usage: hard_use.sh <case> <path to bin/ferrox>
set -euo pipefail

check=$1
program=$(readlink -f "$2")
bindir=$(dirname "$program")
work=$(mktemp -d)
source "$(dirname "$0")/display.sh"
game_pid=""

readonly kFloodEvents=10000
readonly kFloodSeed=6
readonly kGarbageSeed=7
readonly kMouseShare=5  # one event in this many is a mouse move
readonly kFloodChangedPixels=20000  # of 786432: the view has turned
# Every key of the key table but Escape, as xdotool names them.
readonly kTableKeys=(w s a d q e j l i k v space c r)
readonly kAssetCount=18

cleanup() {
  [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null || true
  # Waited for, so that the display is free again when the next run starts.
  stop_display
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($check): $*" >&2
  [ -f "$work/game.err" ] && grep -v '^$' "$work/game.err" | sed 's/^/  stderr: /' | tail -5 >&2
  # The engine logs to standard output: its last words say why a window did not open.
  [ -f "$work/game.out" ] && grep -v '^Loaded' "$work/game.out" | tail -n 5 | sed 's/^/  engine: /' >&2
  exit 1
}

# A crash, a sanitizer's report or the C++ runtime giving up, in the game's stderr.
no_crash_report() {
  ! grep -q -E 'ERROR: (Address|Leak)Sanitizer|runtime error:|terminate called|Segmentation' \
    "$work/game.err"
}

case "$check" in
  flood)
    start_display
    (cd "$bindir" && exec env LIBGL_ALWAYS_SOFTWARE=1 ./ferrox >"$work/game.out" 2>"$work/game.err") &
    game_pid=$!
    window=""
    for _ in $(seq 300); do
      window=$(xdotool search --name '^Ferrox \|' 2>/dev/null | head -n 1 || true)
      [ -n "$window" ] && break
      kill -0 "$game_pid" 2>/dev/null || fail "the game ended before its window appeared"
      sleep 0.1
    done
    [ -n "$window" ] || fail "no window within 30 s"

    # Seeded: key downs and ups of every table key, mouse moves anywhere in the window.
    LC_ALL=C awk -v n="$kFloodEvents" -v seed="$kFloodSeed" -v mouse="$kMouseShare" \
      -v keys="${kTableKeys[*]}" 'BEGIN {
        srand(seed); count = split(keys, key, " ")
        for (i = 0; i < n; i++) {
          if (int(rand() * mouse) == 0) {
            printf "mousemove %d %d\n", int(rand() * 1024), int(rand() * 768)
          } else {
            printf "%s --delay 0 %s\n", rand() < 0.5 ? "keydown" : "keyup", key[1 + int(rand() * count)]
          }
        }
      }' >"$work/flood.xdo"
    [ "$(wc -l <"$work/flood.xdo")" = "$kFloodEvents" ] || fail "the flood script is short"
    sleep 1
    import -window root "$work/before.png"
    start=$SECONDS
    xdotool - <"$work/flood.xdo" || fail "xdotool could not send the flood"
    sent_in=$((SECONDS - start))
    kill -0 "$game_pid" 2>/dev/null || fail "the game died in the flood"
    # Still drawing: the caption keeps its form.
    caption=$(xdotool getwindowname "$window") || fail "the window is gone"
    [[ "$caption" =~ ^Ferrox\ \|\ \(.+\)\ \(fps:\ [0-9]+\)$ ]] || fail "caption '$caption'"
    # The flood reached the game: at the least the mouse swung the camera.
    sleep 1
    import -window root "$work/after.png"
    changed=$({ compare -metric AE -fuzz 8% "$work/before.png" "$work/after.png" null: 2>&1 ||
      true; } | awk '{ printf "%d", $1 }')
    [ "$changed" -ge "$kFloodChangedPixels" ] || fail "the view hardly changed ($changed pixels)"

    xdotool keyup --delay 0 "${kTableKeys[@]}"
    xdotool key Escape
    deadline=$((SECONDS + 15))
    while kill -0 "$game_pid" 2>/dev/null; do
      [ $SECONDS -lt $deadline ] || fail "still running 15 s after Escape"
      sleep 0.1
    done
    code=0
    wait "$game_pid" || code=$?
    game_pid=""
    [ "$code" = 0 ] || fail "exit code $code after the flood and Escape"
    no_crash_report || fail "a crash report"
    echo "$kFloodEvents events sent in ${sent_in} s, $changed pixels changed; then Escape: exit 0"
    ;;

  badinput)
    start_display
    tree="$work/tree"
    mkdir -p "$tree/bin"
    cp "$program" "$tree/bin/ferrox"
    # The assets, as the program names them when none is there.
    code=0
    (cd "$tree/bin" && ./ferrox >"$work/game.out" 2>"$work/game.err") || code=$?
    mapfile -t assets < <(sed -n 's|^ferrox: cannot read \.\./media/||p' "$work/game.err")
    [ "${#assets[@]}" = "$kAssetCount" ] || fail "the program names ${#assets[@]} assets"
    cp -r "$bindir/../media/." "$tree/media"

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
        wide)  # the first frame header's width: 30000 px
          perl -0777 -i -pe 'my $at = 2;
            while ($at + 9 < length) {
              my ($marker, $length) = unpack "x${at} x C n", $_;
              if ($marker == 0xC0 || $marker == 0xC2) { substr($_, $at + 7, 2) = pack "n", 30000; last }
              $at += 2 + $length;
            }' "$2" ;;
        unterminated)  # the first material name (chunk 0xA000) loses its terminating NUL
          perl -0777 -i -pe 'while (/\x00\xA0(....)/gs) {
              my $end = pos() - 6 + unpack("V", $1) - 1;
              if ($end < length && substr($_, $end, 1) eq "\0") { substr($_, $end, 1) = "x"; last }
            }' "$2" ;;
        rle) printf '\001' | dd of="$2" bs=1 seek=30 conv=notrunc status=none ;;  # compression
      esac
    }

    runs=0
    refused_at_load=0  # after the window opened, by the guard or the engine's loader
    for asset in "${assets[@]}"; do
      kinds=(half garbage unreadable directory)
      case "$asset" in
        *.jpg) kinds+=(wide) ;;
        *.3ds) kinds+=(unterminated) ;;
        *.bmp) kinds+=(rle) ;;
      esac
      for kind in "${kinds[@]}"; do
        path="$tree/media/$asset"
        cp "$path" "$work/before"
        damage "$kind" "$path"
        case "$kind" in
          wide | unterminated | rle)
            ! cmp -s "$path" "$work/before" || fail "$asset $kind: the damage changed nothing" ;;
        esac
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
echo "PASS ($check)"
