#include "sim/Engine.h"

#include <cstddef>

#include "sim/quantities.h"

namespace engine {
namespace {

constexpr double kMass = sim::kTankMass;     // kg
constexpr double kBaseTorque = 4800.0;       // drive torque off the low-speed band
constexpr double kLowSpeedTorque = 11520.0;  // first and second gear, engine speed <= limit
constexpr double kLowSpeedLimit = 44.0;      // engine speed, inclusive
constexpr double kCurveReference = 43.0;     // engine speed where the curve factor is 1
constexpr double kEngineDrag = 105.0;        // per unit engine speed, seen at the engine
constexpr double kRollingDrag = 40.0;        // N per m/s
constexpr double kBrakeDamping = 20000.0;    // N per m/s while braking
constexpr double kShiftLimit = 0.5;          // m/s against the shift's direction

// Overall ratios, second reverse to fourth gear.
constexpr float kRatios[] = {-5.2002082f, -10.39501f, 0.0f,      10.39501f,
                             5.2002082f,  3.4662044f, 2.2286606f};

}  // namespace

Engine::Engine()
    : accelerating(false),
      braking(false),
      acceleration(0.0),
      speed(0.0),
      force(0.0),
      rpm(0.0),
      torque(0.0),
      brakeDamping(0.0),
      gear(kNeutral) {
  for (float ratio : kRatios) gearRatios.push_back(ratio);
}

Engine::~Engine() = default;

int Engine::setGearUp() {
  if (gear >= kFourth) return 0;
  // Within the reverse gears, towards neutral, always allowed.
  if (gear <= kSecondReverse || speed > -kShiftLimit) {
    ++gear;
    return 1;
  }
  return 0;
}

int Engine::setGearDown() {
  if (gear <= kSecondReverse) return 0;
  // Within the forward gears, towards neutral, always allowed.
  if (gear >= kSecond || speed < kShiftLimit) {
    --gear;
    return 1;
  }
  return 0;
}

void Engine::calculateAcceleration(bool& accelerating_, bool& braking_, float& dt) {
  accelerating = accelerating_;
  braking = braking_;

  // Torque from the engine speed the previous step left.
  if (!accelerating || gear == kNeutral) {
    torque = 0.0;
  } else {
    const bool lowGear = gear == kFirst || gear == kSecond;
    const double base = (lowGear && rpm <= kLowSpeedLimit) ? kLowSpeedTorque : kBaseTorque;
    torque = gear == kFirst ? base : base * (rpm * 0.5 / kCurveReference + 0.5);
  }

  brakeDamping = braking ? kBrakeDamping : 0.0;

  const double ratio = gearRatios.at(static_cast<std::size_t>(gear));
  acceleration =
      (ratio * torque - (ratio * (ratio * kEngineDrag) + kRollingDrag + brakeDamping) * speed) *
      (1.0 / kMass);
  speed = speed + static_cast<double>(dt) * acceleration;
  force = acceleration * kMass;
  rpm = ratio * speed;
}

}  // namespace engine
