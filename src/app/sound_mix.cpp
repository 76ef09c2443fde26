#include "app/sound_mix.h"

#include <algorithm>
#include <cmath>

#include "sim/Engine.h"

namespace sound {
namespace {

// The engine speed spans 0 to about 48 in the forward gears (ratio x road speed), which the
// note spreads from a diesel's idle rumble to a working growl.
constexpr double kIdleHz = 40.0;    // Hz at engine speed 0
constexpr double kHzPerRpm = 2.5;   // Hz per unit of engine speed
constexpr double kRpmFull = 48.0;   // engine speed where the note is at its loudest
constexpr double kIdleGain = 0.24;  // off the throttle
constexpr double kPullGain = 0.6;   // with the throttle held
constexpr double kRpmLift = 0.25;   // share of the gain that grows with engine speed
// The tracks: the rumble's loop was synthesized for this road speed, and is full at the other.
constexpr double kRumbleSpeed = 3.0;       // m/s at rate 1
constexpr double kRumbleFullSpeed = 15.0;  // m/s, and faster: full rumble
constexpr double kRumbleGain = 0.35;
constexpr double kLowestRate = 0.25;  // the rumble's rate at a crawl
constexpr double kHighestRate = 4.0;  // and at full speed

}  // namespace

Voices Mixer::next(const engine::Engine& engine, bool paused, bool muted) {
  const double rpm = std::fabs(engine.rpm);
  const double speed = std::fabs(engine.speed);
  const double load = std::min(rpm / kRpmFull, 1.0);
  Voices v;
  v.audible = !paused && !muted;
  v.noteHz = static_cast<float>(kIdleHz + kHzPerRpm * rpm);
  v.noteGain = static_cast<float>((engine.accelerating ? kPullGain : kIdleGain) *
                                  (1.0 - kRpmLift + kRpmLift * load));
  v.rumbleRate = static_cast<float>(std::clamp(speed / kRumbleSpeed, kLowestRate, kHighestRate));
  v.rumbleGain = static_cast<float>(kRumbleGain * std::min(speed / kRumbleFullSpeed, 1.0));
  // A reset puts the tank at rest in neutral at once, where a shift leaves the speed as it
  // was: a gear that changes as the speed drops to standstill is a reset, and not heard.
  // A shift while nothing is heard is not heard later either.
  const bool reset = engine.speed == 0.0 && speed_ != 0.0;
  v.clunk = gear_ >= 0 && engine.gear != gear_ && !reset && v.audible;
  gear_ = engine.gear;
  speed_ = engine.speed;
  return v;
}

}  // namespace sound
