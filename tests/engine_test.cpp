#include "Engine.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

constexpr double kAccelTol = 1e-4;   // m/s^2
constexpr double kSettleTol = 0.01;  // m/s, settle speeds are known to 2-3 decimals
constexpr double kSpeedTol = 1e-9;   // m/s, for single-step arithmetic

engine::Engine inGear(int displayedGear, double speed = 0.0) {
  engine::Engine e;
  e.gear = displayedGear + engine::Engine::kNeutral;
  e.speed = speed;
  return e;
}

// Steps the engine with the given commands until well past its slowest time constant.
double settle(engine::Engine& e, bool throttle, bool brake, float dt = 0.05f, int steps = 80000) {
  for (int i = 0; i < steps; ++i) e.calculateAcceleration(throttle, brake, dt);
  return e.getSpeed();
}

TEST(EngineGearbox, EndsOfTheBoxRefuseFurtherShifts) {
  engine::Engine top = inGear(4);
  EXPECT_EQ(top.setGearUp(), 0);
  EXPECT_EQ(top.getGear(), 4);
  engine::Engine bottom = inGear(-2);
  EXPECT_EQ(bottom.setGearDown(), 0);
  EXPECT_EQ(bottom.getGear(), -2);

  // A new engine stands in neutral; walking the whole box at standstill visits every gear once.
  EXPECT_EQ(engine::Engine().getGear(), 0);
  engine::Engine e = inGear(-2);
  for (int g = -1; g <= 4; ++g) {
    EXPECT_EQ(e.setGearUp(), 1);
    EXPECT_EQ(e.getGear(), g);
  }
  for (int g = 3; g >= -2; --g) {
    EXPECT_EQ(e.setGearDown(), 1);
    EXPECT_EQ(e.getGear(), g);
  }
}

TEST(EngineGearbox, ShiftsAgainstTheMotionAreRefusedAtHalfAMetrePerSecond) {
  // Up from neutral or reverse while rolling backwards.
  EXPECT_EQ(inGear(0, -0.5).setGearUp(), 0);
  EXPECT_EQ(inGear(0, -0.49).setGearUp(), 1);
  EXPECT_EQ(inGear(-1, -0.5).setGearUp(), 0);
  EXPECT_EQ(inGear(1, -0.5).setGearUp(), 0);
  EXPECT_EQ(inGear(3, -0.5).setGearUp(), 0);
  // Down from first or neutral while rolling forwards.
  EXPECT_EQ(inGear(1, 0.5).setGearDown(), 0);
  EXPECT_EQ(inGear(1, 0.49).setGearDown(), 1);
  EXPECT_EQ(inGear(0, 0.5).setGearDown(), 0);
  EXPECT_EQ(inGear(-1, 0.5).setGearDown(), 0);
}

TEST(EngineGearbox, ShiftsTowardsNeutralWithinADirectionAreAlwaysAllowed) {
  EXPECT_EQ(inGear(4, 18.0).setGearDown(), 1);
  EXPECT_EQ(inGear(3, 13.0).setGearDown(), 1);
  EXPECT_EQ(inGear(2, 9.0).setGearDown(), 1);
  EXPECT_EQ(inGear(-2, -9.0).setGearUp(), 1);
  // A refused shift changes nothing else.
  engine::Engine e = inGear(1, 3.0);
  e.rpm = 31.0;
  EXPECT_EQ(e.setGearDown(), 0);
  EXPECT_EQ(e.getGear(), 1);
  EXPECT_EQ(e.speed, 3.0);
  EXPECT_EQ(e.rpm, 31.0);
}

TEST(EngineStep, FirstStepFromRestFollowsTheGearsTorque) {
  bool throttle = true, brake = false;
  float dt = 0.02f;

  engine::Engine first = inGear(1);
  first.calculateAcceleration(throttle, brake, dt);
  EXPECT_NEAR(first.acceleration, 1.99584, kAccelTol);
  EXPECT_NEAR(first.getForce(), 119750.5, 1.0);
  EXPECT_NEAR(first.getSpeed(), 1.99584 * 0.02, 1e-5);
  EXPECT_NEAR(first.getRPM(), 10.39501 * first.getSpeed(), 1e-5);

  engine::Engine second = inGear(2);
  second.calculateAcceleration(throttle, brake, dt);
  EXPECT_NEAR(second.acceleration, 0.49922, kAccelTol);

  engine::Engine reverse = inGear(-1);
  reverse.calculateAcceleration(throttle, brake, dt);
  EXPECT_NEAR(reverse.acceleration, -0.41580, kAccelTol);

  // The caller's flags and step are only read.
  EXPECT_TRUE(throttle);
  EXPECT_FALSE(brake);
  EXPECT_EQ(dt, 0.02f);
}

TEST(EngineStep, ThrottleSettlesAtEachGearsTopSpeed) {
  const struct {
    int gear;
    double speed;  // m/s
  } cases[] = {{1, 4.382}, {2, 9.109}, {3, 13.185}, {4, 18.81}, {-1, -4.659}, {-2, -9.109}};
  for (const auto& c : cases) {
    engine::Engine e = inGear(c.gear);
    EXPECT_NEAR(settle(e, true, false), c.speed, kSettleTol) << "gear " << c.gear;
    EXPECT_NEAR(e.acceleration, 0.0, 1e-6) << "gear " << c.gear;
  }
}

TEST(EngineStep, FirstGearLeavesTheLowSpeedBandAboveEngineSpeed44) {
  engine::Engine e = inGear(1);
  bool throttle = true, brake = false;
  float dt = 0.01f;
  double lastRpm = 0.0;
  while (e.getRPM() <= 44.0) {
    lastRpm = e.getRPM();
    e.calculateAcceleration(throttle, brake, dt);
    EXPECT_EQ(e.torque, 11520.0);
  }
  EXPECT_LE(lastRpm, 44.0);
  e.calculateAcceleration(throttle, brake, dt);
  EXPECT_EQ(e.torque, 4800.0);
}

TEST(EngineStep, StepAfterAShiftTakesItsTorqueFromTheOldEngineSpeed) {
  engine::Engine e = inGear(1, 4.0);
  bool throttle = true, brake = false;
  float dt = 0.02f;
  e.calculateAcceleration(throttle, brake, dt);
  const double oldRpm = e.getRPM();  // about 42, first gear's ratio
  ASSERT_LT(oldRpm, 44.0);
  ASSERT_EQ(e.setGearUp(), 1);
  EXPECT_EQ(e.getRPM(), oldRpm);  // a shift alone changes nothing but the gear
  e.calculateAcceleration(throttle, brake, dt);
  EXPECT_NEAR(e.torque, 11520.0 * (oldRpm * 0.5 / 43.0 + 0.5), 1e-9);
  EXPECT_NEAR(e.getRPM(), 5.2002082 * e.getSpeed(), 1e-5);
}

TEST(EngineStep, ReleasedThrottleNeutralAndBrakeOnlyDecay) {
  const double dt = 0.1;
  float fdt = static_cast<float>(dt);
  bool on = true, off = false;

  engine::Engine neutral = inGear(0, 10.0);
  neutral.calculateAcceleration(on, off, fdt);  // throttle in neutral gives no drive
  EXPECT_EQ(neutral.torque, 0.0);
  EXPECT_EQ(neutral.getRPM(), 0.0);
  EXPECT_NEAR(neutral.getSpeed(), 10.0 * (1.0 - static_cast<double>(fdt) * 40.0 / 60000.0),
              kSpeedTol);

  engine::Engine braked = inGear(0, 10.0);
  braked.calculateAcceleration(off, on, fdt);
  EXPECT_EQ(braked.brakeDamping, 20000.0);
  EXPECT_NEAR(braked.getSpeed(),
              10.0 * (1.0 - static_cast<double>(fdt) * (40.0 + 20000.0) / 60000.0), kSpeedTol);

  // Throttle released in gear: engine drag and rolling drag bring it to rest.
  engine::Engine coasting = inGear(3, 13.0);
  EXPECT_NEAR(settle(coasting, false, false, 0.05f, 20000), 0.0, 1e-3);
  engine::Engine stopping = inGear(4, 18.0);
  EXPECT_NEAR(settle(stopping, false, true, 0.01f, 6000), 0.0, 1e-3);
}

TEST(EngineStep, GearOutsideTheTableIsCaughtNotRead) {
  engine::Engine e;
  e.gear = 7;
  bool throttle = true, brake = false;
  float dt = 0.02f;
  EXPECT_THROW(e.calculateAcceleration(throttle, brake, dt), std::out_of_range);
}

}  // namespace
