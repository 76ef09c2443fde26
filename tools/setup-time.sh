#!/usr/bin/env bash
# The set-up as a newcomer meets it, timed. A fresh minimal Debian 12 root (mmdebstrap
# --variant=minbase), the sources cloned into it at REV, the README's first command
# (apt-get update, git and make), then `make run`, timed from its start until the game's
# window shows its first frame, on an Xvfb display served from outside the root; then
# Escape, and the packages that `make run` installed are counted. With SETUP_TEST=1, `make
# test` follows in the same root, timed and counted too, and the root's /tmp is listed
# before and after it. The root goes at the end.
# Usage: tools/setup-time.sh [REV [OUT_DIR]]     (as root: mmdebstrap, chroot, a proc mount)
#   OUT_DIR, when given, receives the lists of the packages installed and the logs.
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
# (the mount goes when the command ends) and a clean environment.
in_root() {
  unshare --mount --propagation private sh -c 'mount -t proc proc "$0/proc" && exec chroot "$0" "$@"' \
    "$root" env -i HOME=/root LANG=C.UTF-8 TERM=dumb DEBIAN_FRONTEND=noninteractive \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin ${DISPLAY:+DISPLAY=$DISPLAY} \
    "$@"
}
packages() { chroot "$root" dpkg-query -W -f '${Package}\n' | sort; }
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.0f", b - a }'; }

echo "Debian 12 minimal root (mmdebstrap --variant=minbase bookworm)"
nice -n 10 mmdebstrap --quiet --variant=minbase bookworm "$root" >"$work/mmdebstrap.log" 2>&1 ||
  fail "mmdebstrap failed: $(tail -n 3 "$work/mmdebstrap.log")"
git clone -q --no-hardlinks "$repo" "$root/root/ferrox"
git -C "$root/root/ferrox" checkout -q "$rev"
base=$(packages | wc -l)

start=$(now)
in_root sh -c 'apt-get update -q && apt-get install -y -q git make' >"$work/first.log" 2>&1 ||
  fail "apt-get update && apt-get install -y git make failed: $(tail -n 3 "$work/first.log")"
first_s=$(since "$start")
packages >"$work/ready.txt"
echo "apt-get update && apt-get install -y git make: $first_s s, $(($(wc -l <"$work/ready.txt") - base)) packages"

start_display
start=$(now)
in_root LIBGL_ALWAYS_SOFTWARE=1 sh -c 'cd /root/ferrox && exec make run' >"$work/run.log" 2>&1 &
game_pid=$!
# The caption appears once the first frame is drawn.
until xdotool search --name '^Ferrox \|' >/dev/null 2>&1; do
  kill -0 "$game_pid" 2>/dev/null || fail "make run ended before the window: $(tail -n 5 "$work/run.log")"
  [ "$(since "$start")" -lt "$kWindowLimitS" ] || fail "no window after $kWindowLimitS s"
  sleep 0.2
done
run_s=$(since "$start")
first_frame_then_escape  # a drawn scene, then Escape ends the game and make run: exit code 0
packages >"$work/after.txt"
comm -13 "$work/ready.txt" "$work/after.txt" >"$work/installed.txt"
installed_mb=$(chroot "$root" dpkg-query -W -f '${Installed-Size}\n' $(cat "$work/installed.txt") |
  awk '{ kib += $1 } END { printf "%.0f", kib / 1024 }')
archives=$(du -sm "$root/var/cache/apt/archives" | cut -f1)
# apt-get's own log dates its end, to the second: the packages' share of the time.
apt_end=$(sed -n 's/^End-Date: //p' "$root/var/log/apt/history.log" | tail -n 1)
apt_s=$(awk -v a="$start" -v b="$(TZ=UTC date -d "$apt_end" +%s)" 'BEGIN { printf "%.0f", b - a }')
echo "make run to the first frame: $run_s s; $(wc -l <"$work/installed.txt") packages installed:" \
  "$archives MB downloaded, $installed_mb MB installed"
echo "of which installing packages (apt-get's log): $apt_s s; the first frame: $colours colours"
echo "machine: $(nproc) cores, $(free -g | awk '/^Mem:/ { print $2 }') GiB; load average then:" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
if [ -n "$out" ]; then
  mkdir -p "$out"
  cp "$work/installed.txt" "$out/packages-$rev.txt"
  cp "$work/run.log" "$out/make-run-$rev.log"
fi

[ "${SETUP_TEST:-0}" = 1 ] || exit 0
stop_display  # the tests start their own
ls -A "$root/tmp" >"$work/tmp-before.txt"
start=$(now)
code=0
in_root sh -c 'cd /root/ferrox && make test' >"$work/test.log" 2>&1 || code=$?
test_s=$(since "$start")
packages >"$work/tested.txt"
comm -13 "$work/after.txt" "$work/tested.txt" >"$work/test-installed.txt"
# Nothing else runs in the root: whatever is new in its /tmp, the tests or the build left.
ls -A "$root/tmp" >"$work/tmp-after.txt"
echo "the root's /tmp: $(wc -l <"$work/tmp-before.txt") entries before make test," \
  "$(wc -l <"$work/tmp-after.txt") after; new: $(comm -13 <(sort "$work/tmp-before.txt") \
  <(sort "$work/tmp-after.txt") | xargs)"
echo "then make test: $test_s s, exit code $code; $(wc -l <"$work/test-installed.txt") more" \
  "packages; ctest: $(grep -E 'tests passed|tests failed' "$work/test.log" | tail -n 1)"
if [ -n "$out" ]; then
  cp "$work/test-installed.txt" "$out/test-packages-$rev.txt"
  cp "$work/test.log" "$out/make-test-$rev.log"
fi
[ "$code" = 0 ]
