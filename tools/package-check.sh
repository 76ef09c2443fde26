#!/usr/bin/env bash
# The Debian package on a clean Debian 12: lintian must report no error; then, on a minimal
# root made by mmdebstrap, `apt-get install ./ferrox_*.deb` without Recommends (its Depends
# alone must bring everything), `ferrox` started by name from a player's home directory
# under Xvfb must draw its first frame and end on Escape with exit code 0, and after a purge
# nothing of the package may remain. The root is thrown away; mmdebstrap unmounts what it
# mounted, and every process started here ends with the script.
# Usage: package-check.sh <ferrox_*.deb>     (as root: chroot and mounts)
set -euo pipefail

# Run by mmdebstrap as its customize hook, with the root's path: the checks inside it.
if [ "${1:-}" = inside ]; then
  root=$2 deb=$3 work=$4
  label=package game_pid=""
  source "$(dirname "$0")/window.sh"  # fail, first_frame_then_escape
  # The game runs in a session of its own, so that su and the game end together.
  trap '[ -n "$game_pid" ] && kill -9 -- "-$game_pid" 2>/dev/null; true' EXIT
  trap 'exit 1' INT TERM
  in_root() { chroot "$root" "$@"; }

  in_root sh -c "cd /tmp && apt-get install -y -q --no-install-recommends ./$deb" \
    >"$work/apt.log" 2>&1 || fail "apt-get install failed: $(tail -n 5 "$work/apt.log")"
  echo "installed, with its dependencies: $(grep -c '^Setting up' "$work/apt.log") packages"
  in_root dpkg-query -L ferrox >"$work/files"
  in_root useradd --create-home player

  # A login shell, as a player's, so that PATH has /usr/games and the game starts at home.
  setsid chroot "$root" su - player -w DISPLAY,LIBGL_ALWAYS_SOFTWARE -c ferrox \
    >"$work/game.out" 2>"$work/game.err" &
  game_pid=$!
  first_frame_then_escape
  echo "ran from /home/player: first frame with $colours colours; Escape: exit code 0"
  for proc in /proc/[0-9]*; do
    [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ] &&
      fail "still running in the root: $(tr '\0' ' ' <"$proc/cmdline")"
  done

  in_root apt-get purge -y -q ferrox >"$work/purge.log" 2>&1 || fail "purge failed"
  rm -f "$root/tmp/$deb"
  in_root dpkg-query -W ferrox 2>/dev/null | grep -q . && fail "dpkg still knows ferrox"
  left=""
  while read -r path; do
    # Its directories too, unless a package still installed shares them.
    if [ -d "$root$path" ]; then
      in_root dpkg-query -S "$path" >/dev/null 2>&1 || left+=" $path"
    elif [ -e "$root$path" ]; then
      left+=" $path"
    fi
  done <"$work/files"
  left+=$(in_root find / -xdev -iname '*ferrox*' -print)
  [ -z "$left" ] || fail "left after purge: $left"
  echo "purged: none of its $(wc -l <"$work/files") paths left"
  exit 0
fi

deb=$(readlink -f "$1")
[ -f "$deb" ] || { echo "usage: package-check.sh <ferrox_*.deb>" >&2; exit 2; }
[ "$(id -u)" = 0 ] || exec sudo "$0" "$@"
start=$SECONDS
work=$(mktemp -d)
source "$(dirname "$0")/window.sh"  # start_display, stop_display
mmdebstrap_pid=""
cleanup() {
  [ -n "$mmdebstrap_pid" ] && kill "$mmdebstrap_pid" 2>/dev/null && wait "$mmdebstrap_pid"
  stop_display
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() { echo "FAIL (package): $*" >&2; exit 1; }

echo "lintian:"
lint=0
lintian --pedantic -I --fail-on error "$deb" >"$work/lintian" 2>&1 || lint=$?
{ grep -v 'root privileges' "$work/lintian" || true; } | sed 's/^/  /'
[ "$lint" = 0 ] || fail "lintian reports errors"
echo "  (end of lintian's tags)"

# The host's own Debian 12 sources, third-party ones left out.
mapfile -t sources < <(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' \
  'Identifier: Packages' | awk '$2 ~ /^bookworm(-updates|-security)?$/ { print "deb " $0 }' |
  sort -u)
[ ${#sources[@]} -gt 0 ] || sources=("deb http://deb.debian.org/debian bookworm main")

start_display
export LIBGL_ALWAYS_SOFTWARE=1  # Mesa's software renderer, as on a machine without a GPU
name=$(basename "$deb")
# The root's X clients reach the display through its abstract socket: same network.
nice -n 19 mmdebstrap --quiet --mode=root --variant=minbase --format=null \
  --customize-hook="upload '$deb' '/tmp/$name'" \
  --customize-hook="'$(readlink -f "$0")' inside \"\$1\" '$name' '$work'" \
  bookworm /dev/null "${sources[@]}" &
mmdebstrap_pid=$!
status=0
wait "$mmdebstrap_pid" || status=$?
mmdebstrap_pid=""
[ "$status" = 0 ] || fail "the clean-root check failed (mmdebstrap exit $status)"
grep -q mmdebstrap /proc/mounts && fail "mounts left behind: $(grep mmdebstrap /proc/mounts)"
echo "PASS (package): $(du -k "$deb" | cut -f1) KiB, checked in $((SECONDS - start)) s"
