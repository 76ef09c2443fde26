#!/usr/bin/env bash
# Deliberate faults, one at a time, against the test suite: each is applied to a scratch
# clone of the committed tree, the suite it concerns is built and run, and the fault is
# reported caught (the suite failed), missed (it passed), stale (its old text is no
# longer in the file, or is there more than once) or unbuilt (it does not compile).
# Each fault is a file, its exact old text and the new text, so that a fault that a
# change moved is seen at once and re-targeted by editing its line below.
# Usage: tools/faults.sh [id pattern, a bash glob; default all]
# Environment: FAULTS_DIR, the scratch clone (default $TMPDIR/ferrox-faults, kept between
# runs so that builds are incremental); FAULTS_SOAK_STEPS (default 20000); JOBS.
set -euo pipefail

repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
pattern=${1:-*}
scratch=${FAULTS_DIR:-${TMPDIR:-/tmp}/ferrox-faults}
soak_steps=${FAULTS_SOAK_STEPS:-20000}
jobs=${JOBS:-2}

ids=() files=() olds=() news=() suites=()
# fault <id> <file> <old text> <new text> [suite: unit (default), soak or e2e.<case>]
fault() {
  ids+=("$1") files+=("$2") olds+=("$3") news+=("$4") suites+=("${5:-unit}")
}

# Engine: gear bands and shift limits, brake and drag.
fault engine.top-gear src/Engine.cpp 'if (gear >= kFourth) return 0;' 'if (gear > kFourth) return 0;'
fault engine.up-limit src/Engine.cpp 'speed > -kShiftLimit' 'speed >= -kShiftLimit'
fault engine.down-limit src/Engine.cpp 'speed < kShiftLimit' 'speed <= kShiftLimit'
fault engine.down-within src/Engine.cpp 'gear >= kSecond ||' 'gear > kSecond ||'
fault engine.band-inclusive src/Engine.cpp 'rpm <= kLowSpeedLimit' 'rpm < kLowSpeedLimit'
fault engine.band-gears src/Engine.cpp 'gear == kFirst || gear == kSecond;' 'gear == kFirst;'
fault engine.curve src/Engine.cpp 'kCurveReference + 0.5)' 'kCurveReference + 0.6)'
fault engine.brake src/Engine.cpp 'braking ? kBrakeDamping : 0.0' 'braking ? kBrakeDamping / 2 : 0.0'
fault engine.engine-drag src/Engine.cpp '(ratio * (ratio * kEngineDrag)' '((ratio * kEngineDrag)'
fault engine.rolling-drag src/Engine.cpp '+ kRollingDrag +' '- kRollingDrag +'
fault engine.neutral src/Engine.cpp 'if (!accelerating || gear == kNeutral)' 'if (!accelerating)'
fault engine.ratio src/Engine.cpp '3.4662044f' '3.5662044f'

# Suspension: signs and memory.
fault spring.stiffness-sign src/Suspension.cpp '(restLength - length)' '(length - restLength)'
fault spring.damping-sign src/Suspension.cpp '(-rate) * kDamping' 'rate * kDamping'
fault spring.memory src/Suspension.cpp 'lastLength = length;' 'lastLength = restLength;'

# Turret: traverse, limits and fire cycle.
fault turret.right-sign src/turret.cpp 'drive = -kTraverseTorque;' 'drive = kTraverseTorque;'
fault turret.both-held src/turret.cpp 'if (rotatingLeft && !rotatingRight)' 'if (rotatingLeft)'
fault turret.inertia src/turret.cpp '/ kTraverseInertia;' '/ (2 * kTraverseInertia);'
fault turret.yaw-sign src/turret.cpp 'yaw.Y += traverseRate * dt;' 'yaw.Y -= traverseRate * dt;'
fault turret.highest src/turret.cpp 'kElevationHighest = -20.0f;' 'kElevationHighest = -25.0f;'
fault turret.lower-both src/turret.cpp 'if (dumping && !elevating)' 'if (dumping)'
fault turret.no-charge src/turret.cpp 'shotCharge > 0.0f' 'shotCharge >= 0.0f'
fault turret.spent src/turret.cpp 'shotCharge = kSpentCharge;' 'shotCharge = 0.0f;'
fault turret.one-shot src/turret.cpp '    shotPending = false;' '    shotPending = true;'

# Tank: the motion step's signs, inertias, sub-steps and wrap; reset, pause and jump.
fault tank.z-sign src/Tank.cpp 'position.Z - direction.Z' 'position.Z + direction.Z'
fault tank.x-sign src/Tank.cpp 'position.X + direction.X' 'position.X - direction.X'
fault tank.wrap-edge src/Tank.cpp 'if (coordinate > kWrapLimit)' 'if (coordinate >= kWrapLimit)'
fault tank.wrap-limit src/Tank.cpp 'kWrapLimit = 400.0f;' 'kWrapLimit = 500.0f;'
fault tank.pitch-inertia src/Tank.cpp 'kPitchInertia = 38125.0f;' 'kPitchInertia = 48125.0f;'
fault tank.yaw-inertia src/Tank.cpp 'kYawInertia = 68450.0f;' 'kYawInertia = 78450.0f;'
fault tank.roll-inertia src/Tank.cpp 'kRollInertia = 32720.0f;' 'kRollInertia = 42720.0f;'
fault tank.roll-sign src/Tank.cpp 'kLateralMass = -60000.0;' 'kLateralMass = 60000.0;'
fault tank.steer-sign src/Tank.cpp 'if (turningLeft) steer = -steer;' 'if (turningRight) steer = -steer;'
fault tank.steer-both src/Tank.cpp 'if (turningRight != turningLeft)' 'if (turningRight || turningLeft)'
fault tank.yaw-damping src/Tank.cpp 'kYawDamping = 1.0e6f;' 'kYawDamping = 2.0e6f;'
fault tank.hull-load src/Tank.cpp 'kHullLoad = 589200.0f;' 'kHullLoad = 589000.0f;'
fault tank.sub-steps src/Tank.cpp 'kSubStepsPerSecond = 30.0f;' 'kSubStepsPerSecond = 20.0f;'
fault tank.sub-step-heights src/Tank.cpp 'if (i > 0) refreshRig();' 'if (i < 0) refreshRig();'
fault tank.wheel-guard src/Tank.cpp 'if (std::fabs(cosine) < kMinWheelCosine)' 'if (false)'
fault tank.paused-steps src/Tank.cpp 'if (paused) return;' 'if (paused && dt > 1.0f) return;'
fault tank.pause-toggle src/Tank.cpp 'paused = !paused;' 'paused = false;'
fault tank.reset-spin src/Tank.cpp '  angularVelocity = vector3df(0.0f, 0.0f, 0.0f);' ''
fault tank.reset-neutral src/Tank.cpp $'chassisNode->setRotation(vector3df(0.0f, 0.0f, 0.0f));\n  engine = engine::Engine();' \
  $'chassisNode->setRotation(vector3df(0.0f, 0.0f, 0.0f));\n  engine.speed = 0.0;'
fault tank.jump-once src/Tank.cpp '      jumpWheel = -1;' ''
fault tank.camera-target src/Tank.cpp 'camera->setTarget(position);' 'camera->setTarget(position * 0.5f);'

# Receiver: held and one-shot keys, Escape, the mouse.
fault receiver.held src/receiver.cpp 'tank->accelerate(down);' 'tank->accelerate(true);'
fault receiver.turret-keys src/receiver.cpp 'tank->turnTurretLeft(down);' 'tank->turnTurretRight(down);'
fault receiver.gear-once src/receiver.cpp 'if (down) tank->setGearUp();' 'tank->setGearUp();'
fault receiver.pause-once src/receiver.cpp 'if (down) tank->pause();' 'tank->pause();'
fault receiver.escape-up src/receiver.cpp 'quit = true;' 'quit = down;'
fault receiver.before-tank src/receiver.cpp 'if (tank == nullptr) return false;' ''
fault receiver.mouse-axes src/receiver.cpp 'static_cast<float>(event.MouseInput.Y),' 'static_cast<float>(event.MouseInput.X),'

# The frame and its texts, the frame loop and the world.
fault frame.kmh src/world.cpp 'kKmhPerMps = 3.6;' 'kKmhPerMps = 3.5;'
fault frame.decimals src/world.cpp 'Speed: %.2f km/h' 'Speed: %.1f km/h'
fault frame.caption-every-pass src/world.cpp 'if (fps_ == lastFPS_) return false;' ''
fault frame.rate-zero src/world.cpp 'if (fps_ != 0) tank' 'if (fps_ != 1) tank'
fault frame.step-length src/world.cpp '1.0f / static_cast<float>(fps_)' '1.0f / static_cast<float>(fps_ + 1)'
fault frame.measure-first src/world.cpp $'  draw(tank);\n  advance(tank, driver_->getFPS());' \
  $'  advance(tank, driver_->getFPS());\n  draw(tank);'
fault frame.escape-pass src/world.cpp $'    frame.pass(tank);\n    if (quit) break;' \
  $'    if (quit) break;\n    frame.pass(tank);'
fault world.ground-texture src/world.cpp '  ground->setMaterialTexture(0, driver->getTexture(kGroundTexture));' '' e2e.scene
fault program.status-font src/main.cpp 'Frame frame(device, device->getGUIEnvironment()->getFont(kFont));' \
  'Frame frame(device, nullptr);' e2e.scene
fault program.exit-code src/main.cpp $'  device->drop();\n  return 0;' $'  device->drop();\n  return 2;' e2e.close

# Media finding and asset refusal.
fault media.stay src/assets.cpp 'if (fs::is_regular_file(kGroundMesh, error)) return;' ''
fault media.exe-dir src/assets.cpp 'fs::current_path(exe.parent_path(), error);' 'fs::current_path(exe, error);'
fault assets.regular-file src/assets.cpp 'std::filesystem::is_regular_file(path, error)' 'std::filesystem::exists(path, error)'
fault assets.jpeg-end src/assets.cpp 'bytes[n - 1] == kJpegEnd;' 'true;'
fault assets.3ds-overrun src/assets.cpp '|| length > end - begin) return false;' ') return false;'
fault assets.bmp-rows src/assets.cpp 'return offset + rowBytes * rows <= bytes.size();' 'return true;'
fault assets.list src/assets.cpp '    {Tank::kTrackTexture, AssetKind::Texture},' '' e2e.badinput
fault program.load-check src/main.cpp 'if (report(brokenAssets(device), "cannot load")) {' 'if (false) {' e2e.badinput

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
    e2e.*) targets=(ferrox ferrox_close_window ferrox_text_extent) ;;
  esac
  cmake --build "$scratch/build" -j "$jobs" --target "${targets[@]}" >"$scratch/build.log" 2>&1
}

run_suite() {
  case "$1" in
    unit) (cd "$scratch/bin" && timeout 600 ../build/tests/ferrox_tests --gtest_brief=1) ;;
    soak) (cd "$scratch/bin" && timeout 600 ../build/tests/ferrox_soak "$soak_steps") ;;
    e2e.*) (cd "$scratch/build" && ctest -R "^$1\$" --timeout 300) ;;
  esac >"$scratch/suite.log" 2>&1
}

# Applies fault $1 to its file; fails when its old text is not there exactly once.
apply() {
  local path="$scratch/${files[$1]}" old=${olds[$1]} content rest
  IFS= read -r -d '' content <"$path" || true
  [[ $content == *"$old"* ]] || return 1
  rest=${content#*"$old"}
  [[ $rest == *"$old"* ]] && return 1
  printf '%s' "${content/"$old"/"${news[$1]}"}" >"$path"
}

echo "Faults against $(git -C "$repo" rev-parse --short HEAD), scratch clone $scratch"
for suite in unit soak e2e.scene e2e.close e2e.badinput; do
  [[ " ${suites[*]} " == *" $suite "* ]] || continue
  build "$suite" && run_suite "$suite" || { echo "the suite $suite fails without faults" >&2; exit 1; }
done

caught=0 missed=0 other=0
printf '%-26s %-13s %s\n' fault suite result
for i in "${!ids[@]}"; do
  # shellcheck disable=SC2053
  [[ ${ids[$i]} == $pattern ]] || continue
  if ! apply "$i"; then
    result=stale
  elif ! build "${suites[$i]}"; then
    result=unbuilt
  elif run_suite "${suites[$i]}"; then
    result=MISSED
  else
    result=caught
  fi
  git -C "$scratch" checkout -q -- "${files[$i]}"
  case "$result" in caught) caught=$((caught + 1)) ;; MISSED) missed=$((missed + 1)) ;;
    *) other=$((other + 1)) ;; esac
  printf '%-26s %-13s %s\n' "${ids[$i]}" "${suites[$i]}" "$result"
done
build unit >/dev/null || true  # leave the scratch build matching the clean tree
echo "$caught caught, $missed missed, $other stale or unbuilt"
[ "$missed" = 0 ] && [ "$other" = 0 ]
