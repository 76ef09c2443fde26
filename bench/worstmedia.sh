#!/usr/bin/env bash
# What the costliest accepted media cost the program, against the shipped media, in one run
# under Xvfb with Mesa's software OpenGL: each role's worst mesh alone, the worst textures
# alone, then every slot at its worst at once. Each is drawn with the camera swung to the pose
# the worst meshes are built to face (ferrox_worstmedia's pitch and yaw, given by the cursor);
# the tank stands as built, paused. Measured by processor time, which other load on the
# machine does not inflate: from launch to the end of the first frame, between two frames
# (median and most, every frame from the first to the end of the count), the peak resident
# memory, and the time from Escape to the process's end (wall clock, and its processor time).
# With a soak time, the run with every slot at its worst goes on that long, its resident
# memory read at the first minute and at the end.
# Environment: FERROX_SHOTS, a directory for a screenshot of each case.
# Usage: worstmedia.sh <bin/ferrox> <libferrox_frame_counter.so> <ferrox_worstmedia>
#                      <ferrox_jpegforge> [seconds counted, default 6] [soak seconds, default 0]
set -euo pipefail

source "$(dirname "$0")/../tools/window.sh"
window_init worstmedia "$1"
shipped_bin=$bindir
counter=$(readlink -f "$2")
worstmedia=$(readlink -f "$3")
jpegforge=$(readlink -f "$4")
seconds=${5:-6}
soak=${6:-0}
warmup=2           # s after the first frame, before counting
pitch=20 yaw=200   # deg: the camera's pose, the cursor's y and x in px
media=$(readlink -f "$shipped_bin/../media")
printf '[general]\ndrivers=wave\n[wave]\nfile=/dev/null\n' >"$work/alsoft.conf"

# A tree of its own for each case: bin/ with the program, media/ the shipped media.
mkdir -p "$work/worst.media.d" && cp -r "$media" "$work/worst.media.d/media"
"$worstmedia" "$work/worst.media.d/media" "$pitch" "$yaw" >/dev/null
mkdir -p "$work/jpeg" && "$jpegforge" worst "$work/jpeg" >/dev/null 2>&1
texture="$work/jpeg/data-short-codes.jpg"
[ -f "$texture" ] || fail "ferrox_jpegforge wrote no data-short-codes.jpg"
textures=(env/sand3.jpg skybox/dream_up.jpg skybox/dream_dn.jpg skybox/dream_rt.jpg
  skybox/dream_lt.jpg skybox/dream_ft.jpg skybox/dream_bk.jpg brickwall.jpg tank/kamo.jpg
  tank/metalox.jpg tank/rust3.jpg)
declare -A mesh_of=([ground]=env/mark2.3ds [hull]=tank/chassi.3ds [track]=tank/track.3ds
  [wheel]=tank/wheel.3ds [turret]=tank/turret.3ds [gun]=tank/canon.3ds)

# Case $1: the shipped media with the files named after it taken from the worst.
prepare() {
  local dir="$work/$1"
  mkdir -p "$dir/bin"
  cp "$shipped_bin/ferrox" "$dir/bin/"
  cp -r "$media" "$dir/media"
  shift
  for file in "$@"; do
    case "$file" in
      *.jpg) cp "$texture" "$dir/media/$file" ;;
      *) cp "$work/worst.media.d/media/$file" "$dir/media/$file" ;;
    esac
  done
}

cpu_of() {  # processor time of process $1 so far, in s
  awk -v hz="$(getconf CLK_TCK)" '{ printf "%.3f", ($14 + $15) / hz }' "/proc/$1/stat"
}
rss_of() { awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }

# Runs case $1 and prints its row.
measure() {
  local name=$1 out="$work/$1.txt" count=$seconds
  [ "$name" = "all worst" ] && [ "$soak" -gt 0 ] && count=$soak
  program="$work/$name/bin/ferrox"
  bindir="$work/$name/bin"
  rm -f "$out"
  launch LD_PRELOAD="$counter" FERROX_FRAMES_OUT="$out" FERROX_FRAMES_WARMUP="$warmup" \
    FERROX_FRAMES_SECONDS="$count" FERROX_LAUNCH_NS="$(date +%s%N)" \
    ALSOFT_CONF="$work/alsoft.conf" "$program" --mute
  await_window
  xdotool mousemove --window "$window" "$yaw" "$pitch"
  if [ -n "${FERROX_SHOTS:-}" ]; then
    sleep 1
    import -window root "$FERROX_SHOTS/${name// /_}.png"
  fi
  local minute=""
  local deadline=$((SECONDS + warmup + count + 60))
  until [ -s "$out" ]; do
    kill -0 "$game_pid" 2>/dev/null || fail "$name ended early"
    [ $SECONDS -lt $deadline ] || fail "no figures from $name"
    if [ "$count" -gt 60 ] && [ -z "$minute" ] && [ $SECONDS -ge $((start + 60)) ]; then
      minute=$(rss_of "$game_pid")
    fi
    sleep 0.2
  done
  local end_rss cpu_before start_ns exit_ms cpu_after
  end_rss=$(rss_of "$game_pid")
  cpu_before=$(cpu_of "$game_pid")
  # Processor time from Escape to the end: read from the process's last state as it exits.
  start_ns=$(date +%s%N)
  xdotool key --window "$window" Escape
  local last=$cpu_before
  while kill -0 "$game_pid" 2>/dev/null; do
    last=$(cpu_of "$game_pid" 2>/dev/null || echo "$last")
    sleep 0.02
  done
  exit_ms=$((($(date +%s%N) - start_ns) / 1000000))
  await_exit 10
  [ "$exit_code" = 0 ] || fail "$name exited with $exit_code"
  cpu_after=$(awk -v a="$last" -v b="$cpu_before" 'BEGIN { printf "%.2f", a - b }')
  read -r first_cpu median worst peak < <(awk '{ for (i = 1; i < NF; i++) v[$i] = $(i + 1) }
    END { printf "%s %s %s %.0f\n", v["first_frame_cpu_s"], v["cpu_frame_median_ms"],
      v["cpu_frame_worst_ms"], v["peak_kb"] / 1024 }' "$out")
  printf "  %-12s %9s %9s %9s %8s %9s %6s\n" "$name" "$first_cpu" "$median" "$worst" "$peak" \
    "$exit_ms" "$cpu_after"
  [ -n "$minute" ] && echo "    resident memory at 1 min $minute MiB, at $count s $end_rss MiB"
  echo "${name// /_} $median $worst $first_cpu $peak $exit_ms" >>"$work/rows"
}

prepare shipped
for role in ground hull track wheel turret gun; do prepare "worst $role" "${mesh_of[$role]}"; done
prepare "worst textures" "${textures[@]}"
prepare "all worst" "${mesh_of[@]}" "${textures[@]}" fontkorvenblatt.bmp

start_display
start=$SECONDS
echo "Worst accepted media under Xvfb + Mesa llvmpipe, 1024x768, camera at pitch $pitch, yaw" \
  "$yaw; processor time (all threads), frames counted for $seconds s after $warmup s"
printf "  %-12s %9s %9s %9s %8s %9s %6s\n" "" "first (s)" "med (ms)" "most (ms)" "peak MiB" \
  "Esc (ms)" "Esc cpu"
: >"$work/rows"
for name in shipped "worst ground" "worst hull" "worst track" "worst wheel" "worst turret" \
  "worst gun" "worst textures" "all worst"; do
  start=$SECONDS
  measure "$name"
done

# The goals: each role's worst no dearer a frame than twice the shipped media's, and every
# slot at its worst within the absolute goals.
base=$(awk '$1 == "shipped" { print $2 }' "$work/rows")
while read -r name median _; do
  ratio=$(awk -v m="$median" -v s="$base" 'BEGIN { printf "%.2f", m / s }')
  verdict=$(awk -v r="$ratio" 'BEGIN { print (r <= 2.0) ? "met" : "MISSED" }')
  echo "  ${name//_/ }: median frame ${ratio}x the shipped media's (target <= 2: $verdict)"
done < <(awk '$1 ~ /^worst_/' "$work/rows")
read -r _ median worst first peak exit_ms < <(grep '^all_worst' "$work/rows")
goal() { awk -v v="$1" -v t="$3" "BEGIN { print (v $2 t) ? \"met\" : \"MISSED\" }"; }
echo "  all worst: first frame $first s CPU (target <= 1.5: $(goal "$first" "<=" 1.5));" \
  "most a frame $worst ms CPU (target <= 250: $(goal "$worst" "<=" 250));" \
  "peak $peak MiB (target <= 400: $(goal "$peak" "<=" 400)); Escape to exit $exit_ms ms" \
  "(target <= 1000: $(goal "$exit_ms" "<=" 1000))"
