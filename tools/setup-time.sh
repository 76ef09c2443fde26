#!/usr/bin/env bash
# The README followed from its first line on a fresh minimal Debian 12 root (mmdebstrap
# --variant=minbase), timed and counted, as root there (no sudo):
#   1. apt-get update && apt-get install -y git make
#   2. git clone <the repository> ferrox && cd ferrox (the repository: a bare copy of this one
#      at REV inside the root)
#   3. make run: timed from its start until the game's window shows its first frame, on an
#      Xvfb display served from outside the root; a drawn scene, then Escape ends it, code 0
#   4. make test (unless SETUP_TEST=0): timed, its tests counted, the root's /tmp before and after
#   5. make package && apt install ./build/package/ferrox_*.deb; /usr/games/ferrox from /
#      draws and ends on Escape; apt-get purge ferrox leaves no file of it
#   6. make game && make install; /usr/local/games/ferrox draws and ends on Escape; make
#      uninstall leaves /usr/local as it was
#   7. make clean leaves the tree as cloned
# Before step 3 it counts, for each group of tools/deps.sh, the packages it would bring to
# the root then (apt-get --simulate). Each step's packages: the root's dpkg-query list
# before and after. The root goes at the end.
# Usage: tools/setup-time.sh [REV [LOG_DIR]]   (as root: mmdebstrap, chroot, a proc mount)
#   LOG_DIR, when given, receives the logs and the lists of the packages installed.
#   tools/report.sh build/reports/setup.txt tools/setup-time.sh keeps the report.
set -euo pipefail

repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
rev=$(git -C "$repo" rev-parse --short "${1:-HEAD}")
out=${2:-}
[ "$(id -u)" = 0 ] || exec sudo "$0" "$@"
readonly kWindowLimitS=1800  # past this, make run counts as failed

label="setup $rev" game_pid="" xvfb_pid=""
work=$(mktemp -d)
root="$work/root"
source "$repo/tools/window.sh"  # start_display, stop_display, fail, first_frame_then_escape
cleanup() {
  [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null
  for proc in /proc/[0-9]*; do  # anything still running in the root
    [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ] && kill -9 "${proc#/proc/}" 2>/dev/null
  done
  stop_display
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# [VAR=value...] command in the root, with /proc mounted in a mount namespace of its own
# (the mount goes when the command ends) and a clean environment: root's, whose PATH lacks
# /usr/games.
in_root() {
  unshare --mount --propagation private sh -c 'mount -t proc proc "$0/proc" && exec chroot "$0" "$@"' \
    "$root" env -i HOME=/root LANG=C.UTF-8 TERM=dumb DEBIAN_FRONTEND=noninteractive \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin ${DISPLAY:+DISPLAY=$DISPLAY} \
    LIBGL_ALWAYS_SOFTWARE=1 "$@"
}
in_tree() { in_root sh -c "cd /root/ferrox && $1"; }  # a command line in the clone
packages() { chroot "$root" dpkg-query -W -f '${Package}\n' | sort; }
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.0f", b - a }'; }
# step NAME COMMAND: runs the command line in the clone, timed, its log kept and its new
# packages counted; fails with the log's end.
step() {
  local name=$1 start code=0
  packages >"$work/before-$name.txt"
  start=$(now)
  in_tree "$2" >"$work/$name.log" 2>&1 || code=$?
  step_s=$(since "$start")
  packages >"$work/after-$name.txt"
  step_packages=$(comm -13 "$work/before-$name.txt" "$work/after-$name.txt" | wc -l)
  [ -z "$out" ] || cp "$work/$name.log" "$out/$name.log"
  [ "$code" = 0 ] || fail "$2: exit code $code: $(tail -n 5 "$work/$name.log")"
}
# played NAME COMMAND: starts the game by the command line, from /, and checks its first
# frame and its exit on Escape.
played() {
  in_root sh -c "cd / && exec $2" >"$work/game.out" 2>"$work/game.err" &
  game_pid=$!
  first_frame_then_escape
  echo "  $1: first frame with $colours colours; Escape: exit code 0"
}

[ -z "$out" ] || mkdir -p "$out"
echo "Debian 12 minimal root (mmdebstrap --variant=minbase bookworm), the README at $rev"
nice -n 10 mmdebstrap --quiet --variant=minbase bookworm "$root" >"$work/mmdebstrap.log" 2>&1 ||
  fail "mmdebstrap failed: $(tail -n 3 "$work/mmdebstrap.log")"
git clone -q --bare --no-hardlinks "$repo" "$root/srv/ferrox.git"
git -C "$root/srv/ferrox.git" update-ref refs/heads/setup "$rev"
git -C "$root/srv/ferrox.git" symbolic-ref HEAD refs/heads/setup

start=$(now)
before=$(packages | wc -l)
in_root sh -c 'apt-get update -q && apt-get install -y -q git make' >"$work/first.log" 2>&1 ||
  fail "apt-get update && apt-get install -y git make failed: $(tail -n 3 "$work/first.log")"
echo "1. apt-get update && apt-get install -y git make: $(since "$start") s," \
  "$(($(packages | wc -l) - before)) packages"
in_root sh -c 'cd /root && git clone -q /srv/ferrox.git ferrox' ||
  fail "git clone failed"
echo "2. git clone: $(in_tree 'git log -1 --format=%h') checked out"

echo "   packages each group of tools/deps.sh would bring now (apt-get --simulate):"
for group in run install package package-check test fuzz docs format; do
  count=$(in_tree "apt-get install --simulate --no-install-recommends \
    \$(tools/deps.sh --list $group)" | grep -c '^Inst ' || true)
  echo "     $group: $count"
done

start_display
packages >"$work/before-run.txt"
start=$(now)
in_tree 'exec make run' >"$work/run.log" 2>&1 &
game_pid=$!
# The caption appears once the first frame is drawn.
until xdotool search --name '^Ferrox \|' >/dev/null 2>&1; do
  kill -0 "$game_pid" 2>/dev/null || fail "make run ended before the window: $(tail -n 5 "$work/run.log")"
  [ "$(since "$start")" -lt "$kWindowLimitS" ] || fail "no window after $kWindowLimitS s"
  sleep 0.2
done
run_s=$(since "$start")
first_frame_then_escape  # a drawn scene, then Escape ends the game and make run: exit code 0
packages >"$work/after-run.txt"
comm -13 "$work/before-run.txt" "$work/after-run.txt" >"$work/installed.txt"
installed_mb=$(chroot "$root" dpkg-query -W -f '${Installed-Size}\n' $(cat "$work/installed.txt") |
  awk '{ kib += $1 } END { printf "%.0f", kib / 1024 }')
archives=$(du -sm "$root/var/cache/apt/archives" | cut -f1)
# apt-get's own log dates its end, to the second: the packages' share of the time.
apt_end=$(sed -n 's/^End-Date: //p' "$root/var/log/apt/history.log" | tail -n 1)
apt_s=$(awk -v a="$start" -v b="$(TZ=UTC date -d "$apt_end" +%s)" 'BEGIN { printf "%.0f", b - a }')
echo "3. make run to the first frame: $run_s s, of which installing packages $apt_s s;" \
  "$(wc -l <"$work/installed.txt") packages, $archives MB downloaded, $installed_mb MB installed;" \
  "first frame with $colours colours, Escape: exit code 0"
[ -z "$out" ] || cp "$work/installed.txt" "$out/run-packages.txt"

if [ "${SETUP_TEST:-1}" = 1 ]; then
  stop_display  # the tests start their own
  ls -A "$root/tmp" >"$work/tmp-before.txt"
  step test 'make test'
  # Nothing else runs in the root: whatever is new in its /tmp, the tests or the build left.
  ls -A "$root/tmp" >"$work/tmp-after.txt"
  echo "4. make test: $step_s s, $step_packages more packages;" \
    "$(grep -E 'tests passed|tests failed' "$work/test.log" | tail -n 1);" \
    "the root's /tmp: $(wc -l <"$work/tmp-before.txt") entries before, $(wc -l <"$work/tmp-after.txt") after"
  start_display
fi

find "$root" -xdev -iname '*ferrox*' -not -path "$root/root/ferrox*" -not -path "$root/srv/*" |
  sort >"$work/named-before.txt"
step package 'make package && apt install -y -q ./build/package/ferrox_*.deb'
echo "5. make package && apt install ./build/package/ferrox_*.deb: $step_s s, $step_packages packages"
played "/usr/games/ferrox, from /" /usr/games/ferrox
in_root apt-get purge -y -q ferrox >"$work/purge.log" 2>&1 || fail "apt-get purge ferrox failed"
find "$root" -xdev -iname '*ferrox*' -not -path "$root/root/ferrox*" -not -path "$root/srv/*" |
  sort >"$work/named-after.txt"
left=$(comm -13 "$work/named-before.txt" "$work/named-after.txt")
[ -z "$left" ] || fail "left after apt-get purge ferrox: $left"
echo "  apt-get purge ferrox: nothing named ferrox left"

find "$root/usr/local" | sort >"$work/local-before.txt"
step install 'make game && make install'
echo "6. make game && make install: $step_s s, $step_packages more packages"
played "/usr/local/games/ferrox, from /" /usr/local/games/ferrox
in_tree 'make uninstall' >"$work/uninstall.log" 2>&1 || fail "make uninstall failed"
find "$root/usr/local" | sort >"$work/local-after.txt"
left=$(comm -3 "$work/local-before.txt" "$work/local-after.txt")
[ -z "$left" ] || fail "/usr/local after make uninstall differs: $left"
echo "  make uninstall: /usr/local as before"

in_tree 'make clean' >"$work/clean.log" 2>&1 || fail "make clean failed"
left=$(in_tree 'git status --porcelain --ignored')
[ -z "$left" ] || fail "left in the tree after make clean: $left"
echo "7. make clean: the tree as cloned"
echo "machine: $(nproc) cores, $(free -g | awk '/^Mem:/ { print $2 }') GiB; load average at the end:" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
