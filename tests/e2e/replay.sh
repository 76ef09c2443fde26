#!/usr/bin/env bash
# A drive recorded in the real window and replayed (Xvfb, software OpenGL):
#   replay   about 30 s of play from random keys, mouse moves and jumps, recorded with
#            --record; the headless replay ends in the recorded state (exit 0), twice alike;
#            the window replay, with the player swinging the camera meanwhile, ends in the
#            state the headless one prints; the file cut short plays its whole frames and
#            says so (exit 1); a damaged one is refused in one line (exit 2)
# Usage: replay.sh <case> <path to bin/ferrox>
set -euo pipefail
source "$(dirname "$0")/../../tools/window.sh"
window_init "$1" "$2"

readonly kPlaySeconds=30  # s of random play recorded
readonly kSeed=20261207   # the jump's generator: a seed the program must keep, not the time
readonly kEndWaitS=60     # s beyond the drive's own length for the window replay to end
drive=$work/drive.fxr

# The headless replay of $1 into $work/$2.out and .err; its exit code in $code.
headless() {
  code=0
  "$program" --replay "$1" --headless >"$work/$2.out" 2>"$work/$2.err" || code=$?
}

case "$label" in
  replay)
    start_display
    launch ./ferrox --windowed --mute --seed "$kSeed" --record "$drive"
    await_window
    sleep 1
    xdotool key space
    # Random play, the same each run: held keys for a while, taps of the one-shot keys
    # (jumps most), and the mouse swinging the camera.
    RANDOM=$kSeed
    held=(w w w s a d j l i k v)
    taps=(c c c q q q e space)
    end=$((SECONDS + kPlaySeconds))
    jumps=0
    while [ $SECONDS -lt $end ]; do
      case $((RANDOM % 3)) in
        0) key=${held[RANDOM % ${#held[@]}]}
           xdotool keydown "$key" sleep "0.$((RANDOM % 9 + 1))" keyup "$key" ;;
        1) key=${taps[RANDOM % ${#taps[@]}]}
           [ "$key" = c ] && jumps=$((jumps + 1))
           [ "$key" = space ] && key="space key space"  # a pause, and on again
           # shellcheck disable=SC2086
           xdotool key $key ;;
        2) xdotool mousemove $((RANDOM % 1024)) $((RANDOM % 768)) ;;
      esac
      sleep "0.$((RANDOM % 3))"
    done
    xdotool key Escape
    await_exit 10
    [ "$exit_code" = 0 ] && no_crash_report || fail "the recorded game: exit code $exit_code"
    size=$(stat -c %s "$drive")
    echo "recorded $kPlaySeconds s with $jumps jumps in $size bytes"

    headless "$drive" first
    [ "$code" = 0 ] || fail "headless replay: exit code $code: $(cat "$work/first.out" "$work/first.err")"
    grep -q 'the same$' "$work/first.out" || fail "no match: $(cat "$work/first.out")"
    whole=$(sed -n 's/^replay: [^,]*, \([0-9]*\) frames.*/\1/p' "$work/first.out")
    [ "$whole" -ge 100 ] || fail "only $whole frames: $(head -n 1 "$work/first.out")"
    headless "$drive" second
    cmp -s "$work/first.out" "$work/second.out" || fail "two replays differ"
    cat "$work/first.out"

    # In the window, at the recorded pace, while the player swings the camera: the digest
    # leaves the camera out, so the end is the same.
    launch ./ferrox --windowed --mute --replay "$drive"
    await_window
    for i in 1 2 3; do
      sleep 2
      xdotool mousemove $((200 * i)) $((100 * i)) key w key q
    done
    # The drive lasts as long as its steps add up to, which is more than the 30 s it was
    # played in when a busy machine's frame counter read the rate low.
    length=$(sed -n 's/^replay: [^,]*, [0-9]* frames, \([0-9]*\).*/\1/p' "$work/first.out")
    deadline=$((SECONDS + ${length:?} + kEndWaitS))
    until grep -q '^digest:' "$work/game.out"; do
      [ $SECONDS -lt $deadline ] ||
        fail "the window replay did not end within $kEndWaitS s of its $length s"
      kill -0 "$game_pid" 2>/dev/null || fail "the window replay ended early"
      sleep 0.5
    done
    xdotool key Escape
    await_exit 10
    [ "$exit_code" = 0 ] && no_crash_report || fail "the window replay: exit code $exit_code"
    cmp -s "$work/first.out" "$work/game.out" ||
      fail "the window replay ends elsewhere: $(diff "$work/first.out" "$work/game.out")"

    # Cut short: the end record and part of a frame's record gone.
    head -c $((size - 15)) "$drive" >"$work/cut.fxr"
    headless "$work/cut.fxr" cut
    [ "$code" = 1 ] || fail "cut file: exit code $code"
    grep -q "whole frames" "$work/cut.err" && grep -q "none recorded" "$work/cut.out" ||
      fail "the cut file does not say so: $(cat "$work/cut.err" "$work/cut.out")"
    cut=$(sed -n 's/^replay: [^,]*, \([0-9]*\) frames.*/\1/p' "$work/cut.out")
    [ "$cut" -lt "$whole" ] && [ "$cut" -gt $((whole / 2)) ] ||
      fail "the cut file played $cut of $whole frames"
    echo "cut short: $cut of $whole frames"

    # Damaged: refused in one line naming the file and the byte, exit 2.
    printf 'FXREPLAY\001\000\001x\000\000\000\000\377' >"$work/bad.fxr"
    headless "$work/bad.fxr" bad
    [ "$code" = 2 ] && [ "$(wc -l <"$work/bad.err")" = 1 ] &&
      grep -q "bad.fxr: byte 16: no record begins" "$work/bad.err" ||
      fail "damaged file: exit code $code: $(cat "$work/bad.err")"
    ;;
  *)
    fail "no such case"
    ;;
esac
echo "PASS ($label)"
