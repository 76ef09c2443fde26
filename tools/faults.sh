#!/usr/bin/env bash
# Deliberate faults, one at a time, against the test suite: each is applied to a scratch
# clone of the committed tree, the suite it concerns is built and run, and the fault is
# reported caught (the suite failed), missed (it passed), stale (its old text is no
# longer in the file, or is there more than once) or unbuilt (it does not compile).
# Each fault is a file, its exact old text and the new text (tools/faults.tsv), so that a
# fault that a change moved is seen at once and re-targeted by editing its line there. A
# fault in several files (a name changed everywhere) lists them separated by spaces; the
# old text must then be in each of them once.
# Usage: tools/faults.sh [id pattern...], bash globs; default all
# Environment: FAULTS_DIR, the scratch clone (default $TMPDIR/ferrox-faults, kept between
# runs so that builds are incremental); FAULTS_SOAK_STEPS (default 20000); JOBS.
set -euo pipefail

repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
patterns=("${@:-*}")
scratch=${FAULTS_DIR:-${TMPDIR:-/tmp}/ferrox-faults}
soak_steps=${FAULTS_SOAK_STEPS:-20000}
jobs=${JOBS:-2}

# The faults, from tools/faults.tsv: id, file, old text, new text, suite, split at tabs.
ids=() files=() olds=() news=() suites=()
while IFS= read -r line; do
  [[ -z $line || $line == '#'* ]] && continue
  IFS=$'\x1f' read -r -a f <<<"${line//$'\t'/$'\x1f'}"
  ids+=("${f[0]}") files+=("${f[1]}")
  olds+=("$(printf '%b' "${f[2]}")") news+=("$(printf '%b' "${f[3]:-}")") suites+=("${f[4]:-unit}")
done <"$repo/tools/faults.tsv"

# The scratch clone at the committed HEAD, configured once.
if [ -d "$scratch/.git" ]; then
  git -C "$scratch" fetch -q "$repo" HEAD
  git -C "$scratch" reset -q --hard FETCH_HEAD
else
  git clone -q --no-hardlinks "$repo" "$scratch"
fi
cmake -S "$scratch" -B "$scratch/build" -DCMAKE_BUILD_TYPE=Release >/dev/null

build() {  # the targets a suite needs
  local targets=(ferrox_tests)
  case "$1" in
    soak) targets=(ferrox_soak) ;;
    e2e.*) targets=(ferrox ferrox_listen ferrox_pad_standin) ;;
    corpus.replay*) targets=(ferrox_replay_check) ;;
    corpus.settings*) targets=(ferrox_settings_replay) ;;
    corpus.*) targets=(ferrox_replay) ;;
    install.* | scratch) targets=(all) ;;  # the install takes the generated icons and manual page too
    worstmedia.*) targets=(ferrox_worstmedia ferrox_assetcost) ;;
    handling.*) targets=(ferrox_handling ferrox_handling_check) ;;
    layers.*) targets=(ferrox_sim) ;;
    docs.*) targets=(ferrox ferrox_tests) ;;  # the program's usage, the unit tests' names
  esac
  cmake --build "$scratch/build" -j "$jobs" --target "${targets[@]}" >"$scratch/build.log" 2>&1
}

run_suite() {
  case "$1" in
    unit) (cd "$scratch/bin" && timeout 600 ../build/tests/ferrox_tests --gtest_brief=1) ;;
    soak) (cd "$scratch/bin" && timeout 600 ../build/tests/ferrox_soak "$soak_steps") ;;
    e2e.* | corpus.* | install.* | worstmedia.* | handling.* | layers.* | docs.*)
      (cd "$scratch/build" && ctest -R "^$1\$" --timeout 300) ;;
    # Every quick test through ctest, and its check that they left nothing in their TMPDIR.
    scratch) (cd "$scratch/build" && ctest -LE 'e2e|soak|valgrind' --timeout 300) ;;
  esac >"$scratch/suite.log" 2>&1
}

# Applies fault $1 to its files; fails when its old text is not in each exactly once.
apply() {
  local file path old=${olds[$1]} content rest
  for file in ${files[$1]}; do
    path="$scratch/$file"
    IFS= read -r -d '' content <"$path" || true
    [[ $content == *"$old"* ]] || return 1
    rest=${content#*"$old"}
    [[ $rest == *"$old"* ]] && return 1
    printf '%s' "${content/"$old"/"${news[$1]}"}" >"$path"
  done
}

selected() {  # fault $1's id matches one of the patterns
  local p
  # shellcheck disable=SC2053
  for p in "${patterns[@]}"; do [[ ${ids[$1]} == $p ]] && return 0; done
  return 1
}

echo "Faults against $(git -C "$repo" rev-parse --short HEAD), scratch clone $scratch"
needed=" "
for i in "${!ids[@]}"; do selected "$i" && needed+="${suites[$i]} "; done
for suite in $(printf '%s\n' $needed | sort -u); do
  build "$suite" && run_suite "$suite" || { echo "the suite $suite fails without faults" >&2; exit 1; }
done

caught=0 missed=0 other=0
printf '%-26s %-20s %s\n' fault suite result
for i in "${!ids[@]}"; do
  selected "$i" || continue
  if ! apply "$i"; then
    result=stale
  elif ! build "${suites[$i]}"; then
    result=unbuilt
  elif run_suite "${suites[$i]}"; then
    result=MISSED
  else
    result=caught
  fi
  # shellcheck disable=SC2086
  git -C "$scratch" checkout -q -- ${files[$i]}
  case "$result" in caught) caught=$((caught + 1)) ;; MISSED) missed=$((missed + 1)) ;;
    *) other=$((other + 1)) ;; esac
  printf '%-26s %-20s %s\n' "${ids[$i]}" "${suites[$i]}" "$result"
done
build unit >/dev/null || true  # leave the scratch build matching the clean tree
echo "$caught caught, $missed missed, $other stale or unbuilt"
[ "$missed" = 0 ] && [ "$other" = 0 ]
