#include "sim/Engine.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

namespace {

constexpr double kSettleTol = 0.01;  // m/s, settle speeds are known to 2-3 decimals
constexpr double kForceTol = 0.1;    // N, left at a settled speed
constexpr double kDragTol = 1e-6;    // N, of one step
constexpr double kTorqueTol = 1e-6;

// Shifted into the gear at a standstill, then set rolling: no command puts the tank at an
// exact speed.
engine::Engine inGear(int displayedGear, double speed = 0.0) {
  engine::Engine e;
  while (e.getGear() < displayedGear && e.setGearUp() == 1) {
  }
  while (e.getGear() > displayedGear && e.setGearDown() == 1) {
  }
  e.speed = speed;
  return e;
}

void step(engine::Engine& e, bool throttle, bool brake, float dt) {
  e.calculateAcceleration(throttle, brake, dt);
}

// Shifts are refused at the ends of the box and against a motion of 0.5 m/s or more;
// towards neutral within a direction they are always allowed. A gear outside the box is
// caught, not read.
TEST(EngineGearbox, ShiftsAreRefusedAtTheEndsAndAgainstTheMotion) {
  // Gear, speed in m/s, up or down, 1 when the shift is made.
  const std::tuple<int, double, bool, int> shifts[] = {
      {4, 0.0, true, 0},   {-2, 0.0, false, 0}, {0, -0.5, true, 0},  {0, -0.49, true, 1},
      {-1, -0.5, true, 0}, {3, -0.5, true, 0},  {1, 0.5, false, 0},  {1, 0.49, false, 1},
      {0, 0.5, false, 0},  {-1, 0.5, false, 0}, {4, 18.0, false, 1}, {2, 9.0, false, 1},
      {-2, -9.0, true, 1}};
  for (const auto& [gear, speed, up, shifted] : shifts) {
    engine::Engine e = inGear(gear, speed);
    EXPECT_EQ(up ? e.setGearUp() : e.setGearDown(), shifted)
        << "gear " << gear << " at " << speed << (up ? " up" : " down");
  }
  engine::Engine e;
  e.gear = 7;
  EXPECT_THROW(step(e, true, false, 0.02f), std::out_of_range);
}

// The torque comes from the engine speed the previous step left: first and second gear
// pull the low band's torque up to engine speed 44 inclusive, the base torque above; from
// second gear up a curve of the engine speed scales it; neutral pulls nothing. Under
// throttle each gear settles at its top speed.
TEST(EngineStep, TorqueFollowsTheLowSpeedBandAndTheCurveToEachGearsTopSpeed) {
  constexpr double kLowBand = 11520.0;  // drive torque in the low band
  constexpr double kBase = 4800.0;      // drive torque above it
  // Gear, engine speed, drive torque.
  const std::tuple<int, double, double> torques[] = {{1, 44.0, kLowBand},
                                                     {1, 44.01, kBase},
                                                     {2, 44.0, 11653.953488},
                                                     {3, 20.0, 3516.279070},
                                                     {0, 20.0, 0.0}};
  for (const auto& [gear, rpm, torque] : torques) {
    engine::Engine e = inGear(gear);
    e.rpm = rpm;
    step(e, true, false, 0.02f);
    EXPECT_NEAR(e.torque, torque, kTorqueTol) << "gear " << gear << " at " << rpm;
  }
  // Each gear's top speed in m/s.
  const std::pair<int, double> tops[] = {{1, 4.382}, {2, 9.109},   {3, 13.185},
                                         {4, 18.81}, {-1, -4.659}, {-2, -9.109}};
  for (const auto& [gear, top] : tops) {
    engine::Engine e = inGear(gear);
    for (int i = 0; i < 80000; ++i) step(e, true, false, 0.05f);
    EXPECT_NEAR(e.getSpeed(), top, kSettleTol) << "gear " << gear;
    EXPECT_NEAR(e.getForce(), 0.0, kForceTol) << "gear " << gear;
  }
}

// In neutral the brake's 20000 N per m/s adds to the rolling drag's 40.
TEST(EngineStep, RollingDragAndBrakeSlowTheTankInNeutral) {
  engine::Engine e = inGear(0, 10.0);  // m/s
  step(e, true, true, 0.1f);
  EXPECT_NEAR(e.getForce(), -(40.0 + 20000.0) * 10.0, kDragTol);
}

}  // namespace
