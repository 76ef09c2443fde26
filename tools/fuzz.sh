#!/usr/bin/env bash
# Runs each fuzz target (the assets' readers, the settings file's, the recordings' reader) for
# a while: seeded from media/ (the settings from the packaged example) and the regression
# corpus in tests/corpus/, their corpora and any faulting input kept under WORK_DIR. Fails
# when a target finds a crash, a sanitizer report, a hang or a runaway allocation.
# Usage: tools/fuzz.sh BUILD_DIR SECONDS [WORK_DIR]
set -euo pipefail

build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
work=${3:-$build/fuzz}
readonly kRssLimitMb=512  # an input that needs more is a finding
readonly kTimeoutS=1       # per input: so is one that takes longer
readonly kGraceS=120       # past the run's own limit, before it is stopped from outside

status=0
mkdir -p "$work/artifacts"
for format in jpeg 3ds bmp settings replay; do
  corpus=$work/corpus/$format
  extension=$format
  [ "$format" = jpeg ] && extension=jpg
  [ "$format" = replay ] && extension=fxr  # none is shipped: the corpus alone seeds it
  mkdir -p "$corpus"
  if [ "$format" = settings ]; then
    cp "$root/packaging/settings.example" "$corpus/"
  else
    find "$root/media" -name "*.$extension" -exec cp {} "$corpus/" \;
  fi
  find "$root/tests/corpus/$format" -type f -exec cp {} "$corpus/" \;
  log=$work/$format.log
  if ! timeout $((seconds + kGraceS)) nice -n 19 "$build/tests/ferrox_fuzz_$format" \
    -max_total_time="$seconds" -rss_limit_mb=$kRssLimitMb -timeout=$kTimeoutS \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/$format-" "$corpus" >"$log" 2>&1; then
    echo "FAIL ($format): the fuzz target found a fault; its log: $log" >&2
    grep -m 3 -E 'ERROR|SUMMARY|Test unit written' "$log" >&2 || true
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "$format: ${runs:-?} inputs in $seconds s, corpus of $(find "$corpus" -type f | wc -l) files"
done
exit $status
