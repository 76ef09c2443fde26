#!/usr/bin/env bash
# The installed program, staged under a scratch DESTDIR with prefix /usr.
#   files:     the layout, the launcher, the manual page and the icons;
#   run:       started from /, it draws its first frame and ends on Escape with exit code 0;
#   uninstall: `make uninstall` leaves nothing of a fresh staging directory, installed into
#              twice; in one laid out as a system's, with folders shared with other programs
#              (some holding their files, some empty), it leaves what was there before, and
#              a file that another program put in a folder that the install made.
# Usage: installed.sh files|run|uninstall <build dir>
set -euo pipefail

source "$(dirname "$0")/../../tools/window.sh"
window_init "installed $1" "$2"
build=$(readlink -f "$2")
sources=$(readlink -f "$(dirname "$0")/../..")
root="$work/root"
program="$root/usr/games/ferrox"  # the installed one, started from /, as a player would
bindir=/

install_to() {  # <staging dir>
  DESTDIR="$1" cmake --install "$build" --prefix /usr >"$work/install.log" ||
    fail "install failed: $(tail -n 3 "$work/install.log")"
}
uninstall_from() {  # <staging dir>, as a user types it
  make -s -C "$sources" uninstall BUILD_DIR="$build" DESTDIR="$1" PREFIX=/usr \
    >"$work/uninstall.log" 2>&1
}
uninstalled() { uninstall_from "$1" || fail "uninstall failed: $(tail -n 3 "$work/uninstall.log")"; }
tree() { (cd "$1" && find . -printf '%y %p\n' | sort); }

case "${label#installed }" in
  files)
    install_to "$root"
    [ -x "$program" ] || fail "no /usr/games/ferrox"
    media=$(find "$root/usr/share/games/ferrox/media" -type f | wc -l)
    [ "$media" -eq "$(find "$sources/media" -type f ! -name '.*' | wc -l)" ] ||
      fail "$media media files, not those of media/"
    desktop-file-validate "$root/usr/share/applications/ferrox.desktop" ||
      fail "the launcher does not validate"
    warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man6/ferrox.6.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "manual page warnings: $warnings"
    for size in 48 256; do
      icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/ferrox.png"
      [ "$(identify -format '%m %wx%h' "$icon")" = "PNG ${size}x${size}" ] || fail "no ${size}px icon"
      # Drawn, not blank: opaque tank pixels on a transparent ground.
      opaque=$(convert "$icon" -alpha extract -format '%[fx:mean]' info:)
      awk -v m="$opaque" 'BEGIN { exit !(m > 0.2 && m < 0.9) }' ||
        fail "${size}px icon is ${opaque} opaque"
    done
    # The example settings are there, and the program takes every line of them.
    example="$root/usr/share/doc/ferrox/settings.example"
    run_bare example --settings "$example"
    [ -f "$example" ] && [ "$code" = 1 ] && ! grep -q "settings" "$work/example.err" ||
      fail "no example settings, or the program complains of them: $(head -n 2 "$work/example.err")"
    # Without its media the program says where it looked, the installed directory last.
    rm -r "$root/usr/share/games/ferrox/media"
    run_bare game
    [ "$code" = 1 ] && grep -q "^ferrox: no media found in: /media $root/usr/media $root/usr/share/games/ferrox/media\$" \
      "$work/game.err" || fail "exit code $code without media, or not saying where it looked"
    uninstalled "$root"
    ;;

  run)
    install_to "$root"
    start_display
    launch "$program"
    first_frame_then_escape
    echo "first frame with $colours colours; Escape: exit code 0"
    uninstalled "$root"
    ;;

  uninstall)
    fresh="$work/fresh"
    install_to "$fresh"
    install_to "$fresh"
    uninstalled "$fresh"
    [ ! -e "$fresh" ] || fail "left of a fresh staging directory: $(tree "$fresh" | xargs)"
    ! grep -rqsF "$fresh" "$build/install-records" || fail "its install record is left"
    uninstall_from "$fresh" && fail "a second uninstall found something to remove"
    # As on a system: the games folder and a hicolor size are there but empty, the
    # launchers' folder and another size hold another program's files.
    icons="$root/usr/share/icons/hicolor"
    mkdir -p "$root/usr/games" "$icons/32x32/apps" "$icons/48x48/apps" "$root/usr/share/applications"
    : >"$root/usr/share/applications/other.desktop"
    : >"$icons/48x48/apps/other.png"
    before=$(tree "$root")
    install_to "$root"
    # Then another program puts a file in a folder that the install made: that one stays.
    : >"$root/usr/share/man/man6/other.6.gz"
    uninstalled "$root"
    [ -f "$root/usr/share/man/man6/other.6.gz" ] || fail "another program's file went"
    rm -r "$root/usr/share/man"
    after=$(tree "$root")
    [ "$after" = "$before" ] || fail "the staging directory is not as before the install:" \
      "$(diff <(echo "$before") <(echo "$after") | grep '^[<>]' | xargs)"
    echo "a fresh staging directory: nothing left; a system's: $(echo "$before" | wc -l) paths, as before"
    ;;

  *) fail "unknown check" ;;
esac
echo "PASS ($label)"
