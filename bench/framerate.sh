#!/usr/bin/env bash
# Frame rate of the program against a bare Irrlicht loop drawing the same scene, in one Xvfb
# with Mesa's software OpenGL. The bare loop is the viewer with --chase: the program's own
# start-up (assets loaded in its order, its tank, its world, its window and camera), then the
# program's own frame without the simulation step and without the status line; with --text 1 it
# draws the status line and the gauges too (the program's frame with its font), which
# isolates the simulation's cost: llvmpipe draws a frame that ends in a 2D draw faster than
# one that does not, so the text alone moves the rate. Frames are counted from outside by a
# preloaded glXSwapBuffers wrapper, alike for all; the program's tank
# is unpaused, so it simulates every frame, and sounds: OpenAL Soft's wave writer into
# /dev/null stands in for a sound card, so that its mixing counts as a device's would. The
# three run in turn for several rounds, each for the same time after the same warm-up. Each
# process draws the scene's parts in an order of its own (the engine sorts them by texture
# address), and the machine may be shared: the rates are means over the rounds, and the ratios,
# taken within each round, are means over the rounds with 95 % intervals.
# Prints the rates, the ratios, the time from launch to the first frame (the best of the
# rounds: other load only delays it) and the peak resident memory of each.
# Usage: framerate.sh <bin/ferrox> <bin/ferrox_viewer> <libferrox_frame_counter.so>
#                     [seconds per run, default 3] [rounds, default 6]
# Environment: FERROX_ARGS, the program's options (e.g. --mute)
set -euo pipefail

source "$(dirname "$0")/../tools/window.sh"
window_init framerate "$1"
viewer=$(readlink -f "$2")
counter=$(readlink -f "$3")
seconds=${4:-3}
rounds=${5:-6}
warmup=2  # s after the first frame, before counting
printf '[general]\ndrivers=wave\n[wave]\nfile=/dev/null\n' >"$work/alsoft.conf"

# Starts $2... with the frame counter preloaded, writing its figures to $1.
launch_counted() {
  local out=$1
  shift
  rm -f "$out"
  launch LD_PRELOAD="$counter" FERROX_FRAMES_OUT="$out" FERROX_FRAMES_WARMUP="$warmup" \
    FERROX_FRAMES_SECONDS="$seconds" FERROX_LAUNCH_NS="$(date +%s%N)" "$@"
}

# Waits for the counter's figures in $1 while the run is alive.
await_figures() {
  local deadline=$((SECONDS + warmup + seconds + 60))
  until [ -s "$1" ]; do
    kill -0 "$game_pid" 2>/dev/null || fail "$(basename "$1" .txt) ended early"
    [ $SECONDS -lt $deadline ] || fail "no figures from $(basename "$1" .txt)"
    sleep 0.1
  done
}

# Waits for the run to end and requires exit code 0.
await_success() {
  await_exit 60
  [ "$exit_code" = 0 ] || fail "$1 exited with $exit_code"
}

# Runs one side ($1: program, bare or text) for round $2, figures in $work/<side>.<round>.txt.
measure() {
  local side=$1 round=$2 out="$work/$1.$2.txt" window=""
  case "$side" in
    # shellcheck disable=SC2086
    program) launch_counted "$out" ALSOFT_CONF="$work/alsoft.conf" "$program" ${FERROX_ARGS:-} ;;
    bare) launch_counted "$out" "$viewer" --chase "$cursor" --frames 0 \
      --seconds $((warmup + seconds + 2)) ;;
    text) launch_counted "$out" "$viewer" --chase "$cursor" --text 1 --frames 0 \
      --seconds $((warmup + seconds + 2)) ;;
  esac
  if [ "$side" = program ]; then
    await_window  # its caption appears after the first frame, the tank built
    if [ -z "$cursor" ]; then
      # The baselines turn their chase camera for the same pointer, through the same receiver.
      eval "$(xdotool getmouselocation --shell)"
      cursor="$X,$Y"
    fi
    [ "$round" = 1 ] && shot program  # paused, as the baselines stand
    xdotool key space  # the simulation runs from here on, long before the count starts
  fi
  await_figures "$out"
  if [ "$side" = program ]; then
    xdotool key Escape
    await_success ferrox
  else
    [ "$round" = 1 ] && shot "$side"
    await_success ferrox_viewer
  fi
}

field() { awk -v k="$1" '{ for (i = 1; i < NF; i++) if ($i == k) print $(i + 1) }' "$2"; }
values() { for r in $(seq "$rounds"); do field "$1" "$work/$2.$r.txt"; done; }
# Mean and its standard error.
mean() { awk '{ s += $1; q += $1 * $1; n++ } END { m = s / n; v = n > 1 ? (q - n * m * m) / (n - 1) : 0
  printf "%.3f %.3f\n", m, sqrt(v > 0 ? v / n : 0) }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", v[int((NR + 1) / 2)] }'; }
fastest() { sort -g | head -n 1; }
peak() { values peak_kb "$1" | awk '$1 > m { m = $1 } END { printf "%.1f", m / 1024 }'; }
# The rounds' ratios of the program's rate to a baseline's ($1): runs of one round are
# close in time, so a machine that drifts slower or faster affects both alike.
round_ratios() {
  for r in $(seq "$rounds"); do
    awk -v p="$(field fps "$work/program.$r.txt")" -v b="$(field fps "$work/$1.$r.txt")" \
      'BEGIN { printf "%.4f\n", p / b }'
  done
}
# Mean with its 95 % interval: "mean low high".
interval() { mean | awk '{ printf "%.3f %.3f %.3f", $1, $1 - 2 * $2, $1 + 2 * $2 }'; }
verdict() { awk -v v="$1" -v t="$3" "BEGIN { print (v $2 t) ? \"met\" : \"MISSED\" }"; }

start_display
cursor=""
# The order turns every round, so that a drifting machine load favours none.
sides=(program bare text)
for round in $(seq "$rounds"); do
  for k in 0 1 2; do
    measure "${sides[$(((round - 1 + k) % 3))]}" "$round"
  done
done

# Each baseline drew the program's picture: only the status text (top left), the
# program's pause banner (top middle: it is shot paused) and the gauges (bottom right) may
# differ.
for side in program bare text; do
  convert "$work/$side.png" -fill black -draw 'rectangle 0,0 320,60' \
    -draw 'rectangle 280,48 744,108' -draw 'rectangle 640,680 1023,767' "$work/$side.masked.png"
done
bare_differ=$(pixels_changed program.masked bare.masked)
text_differ=$(pixels_changed program.masked text.masked)

read -r p_fps p_se <<<"$(values fps program | mean)"
read -r b_fps b_se <<<"$(values fps bare | mean)"
read -r t_fps t_se <<<"$(values fps text | mean)"
read -r r1 r1_low r1_high <<<"$(round_ratios bare | interval)"
read -r r2 r2_low r2_high <<<"$(round_ratios text | interval)"
p_first=$(values first_frame_s program | fastest)

echo "Frame rate under Xvfb + Mesa llvmpipe, 1024x768: $rounds rounds of $seconds s each after" \
  "$warmup s, the program simulating; bare loop: the same scene, no simulation, no text;" \
  "+ text: the bare loop drawing the status line"
paste <(round_ratios bare) <(round_ratios text) | for r in $(seq "$rounds"); do
  read -r to_bare to_text
  printf "  round %d: program %5.1f, bare loop %5.1f, + text %5.1f fps; ratios %.3f, %.3f\n" "$r" \
    "$(field fps "$work/program.$r.txt")" "$(field fps "$work/bare.$r.txt")" \
    "$(field fps "$work/text.$r.txt")" "$to_bare" "$to_text"
done
row() { printf "  %-36s %10s %10s %10s\n" "$@"; }
row "" program "bare loop" "+ text"
row "frames per second, mean" "$p_fps" "$b_fps" "$t_fps"
row "  standard error" "$p_se" "$b_se" "$t_se"
row "processor ms per frame, mean" "$(values cpu_ms_per_frame program | mean | cut -d' ' -f1)" \
  "$(values cpu_ms_per_frame bare | mean | cut -d' ' -f1)" \
  "$(values cpu_ms_per_frame text | mean | cut -d' ' -f1)"
row "launch to first frame, best (s)" "$p_first" "$(values first_frame_s bare | fastest)" \
  "$(values first_frame_s text | fastest)"
row "launch to first frame, median (s)" "$(values first_frame_s program | median)" \
  "$(values first_frame_s bare | median)" "$(values first_frame_s text | median)"
row "peak resident memory (MiB)" "$(peak program)" "$(peak bare)" "$(peak text)"
echo "  ratio program / bare loop, mean of the rounds: $r1 (95 % interval $r1_low-$r1_high;" \
  "target >= 0.98: $(verdict "$r1" ">=" 0.98))"
echo "  ratio program / bare loop + text, mean of the rounds: $r2 (95 % interval" \
  "$r2_low-$r2_high; target >= 0.98: $(verdict "$r2" ">=" 0.98))"
echo "  launch to first frame, best: $p_first s (target <= 0.3 s: $(verdict "$p_first" "<=" 0.3))"
echo "  pixels unlike the program's picture, status text and banner aside: bare $bare_differ, + text $text_differ"
# A different picture would make the ratios meaningless.
[ "$bare_differ" -le 1000 ] && [ "$text_differ" -le 1000 ] ||
  fail "a baseline does not draw the program's scene"
