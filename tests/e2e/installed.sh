#!/usr/bin/env bash
# The installed program, staged under a scratch DESTDIR with prefix /usr.
#   files: the layout, the launcher, the manual page and the icons;
#   run:   started from /, it draws its first frame and ends on Escape with exit code 0.
# Usage: installed.sh files|run <build dir>
set -euo pipefail

source "$(dirname "$0")/../../tools/window.sh"
window_init "installed $1" "$2"  # the program is the installed one, below
build=$(readlink -f "$2")
sources=$(readlink -f "$(dirname "$0")/../..")

root="$work/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >"$work/install.log" ||
  fail "install failed: $(tail -n 3 "$work/install.log")"

case "${label#installed }" in
  files)
    [ -x "$root/usr/games/ferrox" ] || fail "no /usr/games/ferrox"
    media=$(find "$root/usr/share/games/ferrox/media" -type f | wc -l)
    expected=$(find "$sources/media" -type f ! -name '.*' | wc -l)
    [ "$media" -eq "$expected" ] || fail "$media media files, not $expected"
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
    bindir=/  # started from /, as a player would
    launch "$root/usr/games/ferrox"
    first_frame_then_escape
    echo "first frame with $colours colours; Escape: exit code 0"
    ;;

  *) fail "unknown check" ;;
esac
echo "PASS ($label)"
