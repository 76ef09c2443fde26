#!/usr/bin/env bash
# Frame rate of the program against a bare Irrlicht loop drawing the same scene (the
# viewer with --chase: same meshes, textures, window and camera; no simulation, no text),
# in one Xvfb with Mesa's software OpenGL; and against the same loop drawing the status
# line too, which isolates the simulation's cost (llvmpipe draws a frame that ends in a 2D
# draw faster than one that does not, so text alone moves the rate). Frames are counted
# from outside by a preloaded glXSwapBuffers wrapper, the same for all. They run in turn,
# several rounds, each for the same time after the same warm-up; prints the rates and the
# ratios, the time from launch to the first frame, and the peak resident memory of each.
# Usage: framerate.sh <bin/ferrox> <bin/ferrox_viewer> <libferrox_frame_counter.so>
#                     [seconds per run, default 3] [rounds, default 4]
set -euo pipefail

program=$(readlink -f "$1")
viewer=$(readlink -f "$2")
counter=$(readlink -f "$3")
seconds=${4:-3}
rounds=${5:-4}
warmup=1  # s after the first frame, before counting
bindir=$(dirname "$program")
work=$(mktemp -d)
xvfb_pid=""
run_pid=""

cleanup() {
  [ -n "$run_pid" ] && kill -9 "$run_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

die() {
  echo "framerate: $*" >&2
  exit 1
}

# Xvfb picks a free display itself and names it once it accepts clients: no race with
# other displays starting at the same time.
start_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    if [ "$(wc -l <"$work/display")" -ge 1 ]; then  # the number, and its newline
      export DISPLAY=":$(head -n 1 "$work/display")"
      return 0
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  die "Xvfb did not start: $(tail -n 2 "$work/xvfb.log")"
}

# Starts $2... in the program's directory, where ../media resolves, with the frame counter
# preloaded, writing its figures to $1.
launch() {
  local out=$1
  shift
  rm -f "$out"
  (cd "$bindir" && exec env LIBGL_ALWAYS_SOFTWARE=1 LD_PRELOAD="$counter" \
    FERROX_FRAMES_OUT="$out" FERROX_FRAMES_WARMUP="$warmup" FERROX_FRAMES_SECONDS="$seconds" \
    FERROX_LAUNCH_NS="$(date +%s%N)" "$@" >"$work/run.out" 2>"$work/run.err") &
  run_pid=$!
}

# Waits for the counter's figures in $1 while the run is alive.
await_figures() {
  local deadline=$((SECONDS + warmup + seconds + 60))
  until [ -s "$1" ]; do
    kill -0 "$run_pid" 2>/dev/null || die "$(basename "$1" .txt) ended early: $(tail -3 "$work/run.err")"
    [ $SECONDS -lt $deadline ] || die "no figures from $(basename "$1" .txt)"
    sleep 0.1
  done
}

# Waits for the run to end and requires exit code 0.
await_exit() {
  local code=0
  wait "$run_pid" || code=$?
  run_pid=""
  [ "$code" = 0 ] || die "$1 exited with $code: $(tail -3 "$work/run.err")"
}

shot_view() { import -window root "$work/$1.png"; }

# Runs one side ($1: program, bare or text) for round $2, figures in $work/<side>.<round>.txt.
measure() {
  local side=$1 round=$2 out="$work/$1.$2.txt"
  case "$side" in
    program) launch "$out" "$program" ;;
    bare) launch "$out" "$viewer" --chase "$pivot" --frames 0 --seconds $((warmup + seconds + 2)) ;;
    text) launch "$out" "$viewer" --chase "$pivot" --text 1 --frames 0 \
      --seconds $((warmup + seconds + 2)) ;;
  esac
  await_figures "$out"
  if [ "$side" = program ] && [ -z "$pivot" ]; then
    # The chase camera's pivot follows the pointer: pitch from y, yaw from x.
    eval "$(xdotool getmouselocation --shell)"
    pivot="$Y,$X"
  fi
  [ "$round" = 1 ] && shot_view "$side"
  if [ "$side" = program ]; then
    xdotool key Escape
    await_exit ferrox
  else
    await_exit ferrox_viewer
  fi
}

field() { awk -v k="$1" '{ for (i = 1; i < NF; i++) if ($i == k) print $(i + 1) }' "$2"; }

start_display
pivot=""
# The order turns every round, so that a drifting machine load favours none. Other
# processes can only slow a run down, so each side's best round gives its figures.
sides=(program bare text)
for round in $(seq "$rounds"); do
  for k in 0 1 2; do
    measure "${sides[$(((round - 1 + k) % 3))]}" "$round"
  done
done

# Each baseline drew the program's picture: only the status text (top left) may differ.
differ() {
  convert "$work/$1.png" -fill black -draw 'rectangle 0,0 320,60' "$work/$1.masked.png"
  { compare -metric AE -fuzz 8% "$work/program.masked.png" "$work/$1.masked.png" null: 2>&1 ||
    true; } | awk '{ printf "%d", $1 }'
}
convert "$work/program.png" -fill black -draw 'rectangle 0,0 320,60' "$work/program.masked.png"
bare_differ=$(differ bare)
text_differ=$(differ text)

median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", v[int((NR + 1) / 2)] }'; }
best() { sort -g | tail -n 1; }
fps() { for r in $(seq "$rounds"); do field fps "$work/$1.$r.txt"; done; }
first() { cat "$work/$1".*.txt | awk '{ print $2 }' | "$2"; }
fastest() { sort -g | head -n 1; }
peak() { cat "$work/$1".*.txt | awk '{ for (i = 1; i < NF; i++) if ($i == "peak_kb" && $(i + 1) > m)
  m = $(i + 1) } END { printf "%.1f", m / 1024 }'; }
verdict() { awk -v v="$1" -v t="$3" "BEGIN { print (v $2 t) ? \"met\" : \"MISSED\" }"; }
ratio() { awk -v p="$1" -v v="$2" 'BEGIN { printf "%.3f", p / v }'; }

echo "Frame rate under Xvfb + Mesa llvmpipe, 1024x768, $rounds rounds of $seconds s after $warmup s"
echo "(bare loop: the same scene, no simulation, no text; + text: with the status line drawn)"
for r in $(seq "$rounds"); do
  printf "  round %d: program %6.1f, bare loop %6.1f, bare loop + text %6.1f fps\n" "$r" \
    "$(field fps "$work/program.$r.txt")" "$(field fps "$work/bare.$r.txt")" \
    "$(field fps "$work/text.$r.txt")"
done
p_best=$(fps program | best)
b_best=$(fps bare | best)
t_best=$(fps text | best)
printf "  %-34s %9s %10s %11s\n" "" program "bare loop" "+ text"
printf "  %-34s %9s %10s %11s\n" "frames per second, best round" "$p_best" "$b_best" "$t_best"
printf "  %-34s %9s %10s %11s\n" "launch to first frame, best (s)" "$(first program fastest)" \
  "$(first bare fastest)" "$(first text fastest)"
printf "  %-34s %9s %10s %11s\n" "launch to first frame, median (s)" "$(first program median)" \
  "$(first bare median)" "$(first text median)"
printf "  %-34s %9s %10s %11s\n" "peak resident memory (MiB)" "$(peak program)" "$(peak bare)" \
  "$(peak text)"
r1=$(ratio "$p_best" "$b_best")
r2=$(ratio "$p_best" "$t_best")
p_first=$(first program fastest)
echo "  ratio program / bare loop: $r1 (target >= 0.98: $(verdict "$r1" ">=" 0.98))"
echo "  ratio program / bare loop + text: $r2 (target >= 0.98: $(verdict "$r2" ">=" 0.98))"
echo "  launch to first frame, best: $p_first s (target <= 0.3 s: $(verdict "$p_first" "<=" 0.3))"
echo "  pixels unlike the program's picture, status text aside: bare $bare_differ, + text $text_differ"
# A different picture would make the ratios meaningless.
[ "$bare_differ" -le 1000 ] && [ "$text_differ" -le 1000 ] ||
  die "a baseline does not draw the program's scene"
