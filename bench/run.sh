#!/usr/bin/env bash
# `make bench`: the benchmarks' table (median and spread of 10 runs each), the frame rate of
# the program against the bare loop, then what the worst accepted media cost it.
# Usage: run.sh <build directory>
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
bindir=$(sed -n 's/^FERROX_BIN_DIR:PATH=//p' "$build/CMakeCache.txt")

"$build/bench/ferrox_bench" --benchmark_repetitions=10 --benchmark_min_time=0.1 \
  --benchmark_display_aggregates_only=true | grep -v -E '_(mean|cv) '
echo
bench/framerate.sh "$bindir/ferrox" "$bindir/ferrox_viewer" "$build/bench/libferrox_frame_counter.so"
echo
cmake --build "$build" --target ferrox_worstmedia ferrox_jpegforge >/dev/null
bench/worstmedia.sh "$bindir/ferrox" "$build/bench/libferrox_frame_counter.so" \
  "$build/tools/ferrox_worstmedia" "$build/tools/ferrox_jpegforge"
