#include "sim/turret.h"

#include <gtest/gtest.h>

#include "support.h"

namespace {

constexpr float kRateTol = 1e-3f;  // deg/s

// Turrets on empty nodes of a null device, stepped on their own.
class Turret : public ::testing::Test {
 protected:
  ~Turret() override { device->drop(); }
  turret::Turret fresh() {
    return turret::Turret(device, device->getSceneManager()->addEmptySceneNode());
  }
  static void run(turret::Turret& t, float seconds, float dt) {
    for (int i = 0, n = static_cast<int>(seconds / dt + 0.5f); i < n; ++i) t.calculate(dt);
  }
  static float elevation(const turret::Turret& t) { return t.canonPivot->getRotation().X; }

  irr::IrrlichtDevice* device = support::createNullDevice();
};

// Left turns towards growing yaw, right the other way, at up to 56 deg/s with a time
// constant of 76 ms (inertia over damping); both held, or neither, the damping stops it.
TEST_F(Turret, TraversesUpTo56DegreesPerSecondEitherWayAndStopsWhenNotDriven) {
  for (bool left : {true, false}) {
    turret::Turret t = fresh();
    const float sign = left ? 1.0f : -1.0f;
    t.rotateLeft(left);
    t.rotateRight(!left);
    run(t, 0.076f, 0.001f);
    EXPECT_NEAR(t.traverseRate, sign * 56.0f * 0.632f, 0.3f);
    run(t, 2.0f, support::k60Hz);
    EXPECT_NEAR(t.traverseRate, sign * 56.0f, kRateTol);
    EXPECT_GT(sign * t.turretNode->getRotation().Y, 90.0f);
    t.rotateLeft(true);
    t.rotateRight(true);
    run(t, 1.0f, 0.01f);
    EXPECT_NEAR(t.traverseRate, 0.0f, kRateTol);
  }
}

// Up and down exactly to the limits at any step; both held: no change.
TEST_F(Turret, ElevatesAndLowersExactlyToTheLimits) {
  for (float dt : {1.0f / 144.0f, support::k60Hz, 0.07f, 0.5f}) {
    turret::Turret t = fresh();
    t.elevate(true);
    run(t, 2.0f, dt);
    EXPECT_EQ(elevation(t), -20.0f) << "dt " << dt;
    t.dump(true);
    run(t, 0.5f, dt);
    EXPECT_EQ(elevation(t), -20.0f) << "both held, dt " << dt;
    t.elevate(false);
    run(t, 2.0f, dt);
    EXPECT_EQ(elevation(t), 10.0f) << "dt " << dt;
  }
}

TEST_F(Turret, FireChargeIsReleasedAsOneShotAndSpentAtTheNextStep) {
  turret::Turret t = fresh();
  t.shoot(false);  // a release with no charge marks nothing
  EXPECT_FALSE(t.shotPending);
  for (int press = 0; press < 3; ++press) t.shoot(true);
  t.shoot(false);
  t.shoot(false);  // a second release before the step keeps one shot
  EXPECT_TRUE(t.shotPending);
  t.calculate(0.02f);
  EXPECT_FALSE(t.shotPending);
  EXPECT_EQ(t.shotCharge, -1.0f);  // spent: a release marks nothing until a press charges it
}

}  // namespace
