#!/usr/bin/env bash
# The installed program, staged under a scratch DESTDIR with prefix /usr.
#   files: the layout, the launcher, the manual page and the icons;
#   run:   started from /, it draws its first frame and ends on Escape with exit code 0.
# Usage: installed.sh files|run <build dir>
set -euo pipefail

check=$1
build=$(readlink -f "$2")
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
  echo "FAIL (installed $check): $*" >&2
  [ -f "$work/game.err" ] && sed 's/^/  stderr: /' "$work/game.err" | tail -5 >&2
  exit 1
}

root="$work/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >"$work/install.log" ||
  fail "install failed: $(tail -n 3 "$work/install.log")"

case "$check" in
  files)
    [ -x "$root/usr/games/ferrox" ] || fail "no /usr/games/ferrox"
    media=$(find "$root/usr/share/games/ferrox/media" -type f | wc -l)
    [ "$media" -eq 18 ] || fail "$media media files, not 18"
    desktop-file-validate "$root/usr/share/applications/ferrox.desktop" ||
      fail "the launcher does not validate"
    warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man6/ferrox.6.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "manual page warnings: $warnings"
    for size in 48 256; do
      icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/ferrox.png"
      got=$(identify -format '%m %wx%h' "$icon" 2>/dev/null) || fail "no ${size}px icon"
      [ "$got" = "PNG ${size}x${size}" ] || fail "${size}px icon is '$got'"
      # Drawn, not blank: opaque tank pixels on a transparent ground.
      opaque=$(convert "$icon" -alpha extract -format '%[fx:mean]' info:)
      awk -v m="$opaque" 'BEGIN { exit !(m > 0.2 && m < 0.9) }' ||
        fail "${size}px icon is ${opaque} opaque"
    done
    # Without its media the program says where it looked, the installed directory last.
    rm -r "$root/usr/share/games/ferrox/media"
    code=0
    (cd / && env -u DISPLAY "$root/usr/games/ferrox" >/dev/null 2>"$work/game.err") || code=$?
    [ "$code" = 1 ] || fail "exit code $code without media"
    grep -q "^ferrox: no media found in: /media $root/usr/media $root/usr/share/games/ferrox/media\$" \
      "$work/game.err" || fail "does not say where it looked"
    ;;

  run)
    start_display
    (cd / && exec env LIBGL_ALWAYS_SOFTWARE=1 "$root/usr/games/ferrox" >"$work/game.out" \
      2>"$work/game.err") &
    game_pid=$!
    # The caption is set after the first frame is drawn.
    window=""
    for _ in $(seq 300); do
      window=$(xdotool search --name '^Ferrox \|' 2>/dev/null | head -n 1 || true)
      [ -n "$window" ] && break
      kill -0 "$game_pid" 2>/dev/null || fail "the game ended before its first frame"
      sleep 0.1
    done
    [ -n "$window" ] || fail "no first frame within 30 s"
    sleep 1
    import -window root "$work/shot.png"
    colours=$(convert "$work/shot.png" -format %k info:)
    [ "$colours" -ge 1000 ] || fail "only $colours colours on screen"
    xdotool key Escape
    for _ in $(seq 50); do
      kill -0 "$game_pid" 2>/dev/null || break
      sleep 0.1
    done
    code=0
    kill -0 "$game_pid" 2>/dev/null && fail "still running 5 s after Escape"
    wait "$game_pid" || code=$?
    game_pid=""
    [ "$code" = "0" ] || fail "exit code $code"
    echo "first frame with $colours colours; Escape: exit code 0"
    ;;

  *) fail "unknown check" ;;
esac
echo "PASS (installed $check)"
