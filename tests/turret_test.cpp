#include "turret.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include "support.h"

namespace {

constexpr float kRateTol = 1e-3f;   // deg/s
constexpr float kAngleTol = 1e-3f;  // deg

// A turret on an empty node of a null device, stepped on its own.
struct TurretScene {
  TurretScene() : device(support::createNullDevice()) {
    turret = turret::Turret(device, device->getSceneManager()->addEmptySceneNode());
  }
  ~TurretScene() { device->drop(); }
  TurretScene(const TurretScene&) = delete;
  TurretScene& operator=(const TurretScene&) = delete;

  float yaw() const { return turret.turretNode->getRotation().Y; }
  float elevation() const { return turret.canonPivot->getRotation().X; }
  void run(float seconds, float dt) {
    for (int i = 0, n = static_cast<int>(seconds / dt + 0.5f); i < n; ++i) turret.calculate(dt);
  }

  irr::IrrlichtDevice* device;
  turret::Turret turret;
};

// Left turns towards growing yaw, right the other way, at up to 56 deg/s with a time
// constant of 76 ms (inertia over damping); both held, or neither, the damping stops it.
TEST(TurretTraverse, RunsUpTo56DegreesPerSecondEitherWayAndStopsWhenNotDriven) {
  for (bool left : {true, false}) {
    TurretScene s;
    const float sign = left ? 1.0f : -1.0f;
    s.turret.rotateLeft(left);
    s.turret.rotateRight(!left);
    s.run(0.076f, 0.001f);
    EXPECT_NEAR(s.turret.traverseRate, sign * 56.0f * 0.632f, 0.3f);
    s.run(2.0f, support::k60Hz);
    EXPECT_NEAR(s.turret.traverseRate, sign * 56.0f, kRateTol);
    EXPECT_GT(sign * s.yaw(), 90.0f);
    EXPECT_EQ(s.elevation(), 0.0f);  // only the yaw turns

    s.turret.rotateLeft(true);
    s.turret.rotateRight(true);
    s.run(1.0f, 0.01f);
    EXPECT_NEAR(s.turret.traverseRate, 0.0f, kRateTol);
  }
}

TEST(TurretElevation, MovesAtTwentyDegreesPerSecondAndStopsExactlyAtTheLimits) {
  for (float dt : {1.0f / 144.0f, support::k60Hz, 0.07f, 0.5f}) {
    TurretScene s;
    s.turret.elevate(true);
    s.run(2.0f, dt);
    EXPECT_EQ(s.elevation(), -20.0f) << "dt " << dt;
    s.turret.elevate(false);
    s.turret.dump(true);
    s.run(2.0f, dt);
    EXPECT_EQ(s.elevation(), 10.0f) << "dt " << dt;
  }
  TurretScene s;  // 20 deg/s; both held: no change
  s.turret.elevate(true);
  s.run(0.5f, 0.05f);
  EXPECT_NEAR(s.elevation(), -10.0f, kAngleTol);
  s.turret.dump(true);
  s.run(0.5f, 0.05f);
  EXPECT_NEAR(s.elevation(), -10.0f, kAngleTol);
}

TEST(TurretFire, ChargeIsReleasedAsOneShotAndSpentAtTheNextStep) {
  TurretScene s;
  turret::Turret& t = s.turret;
  t.shoot(false);  // a release with no charge marks nothing
  EXPECT_FALSE(t.shotPending);
  for (int press = 0; press < 3; ++press) t.shoot(true);
  EXPECT_FALSE(t.shotPending);
  t.shoot(false);
  t.shoot(false);  // a second release before the step keeps one shot
  EXPECT_TRUE(t.shotPending);
  t.calculate(0.02f);
  EXPECT_FALSE(t.shotPending);
  EXPECT_EQ(t.shotCharge, -1.0f);

  t.shoot(false);  // spent charge: nothing to release
  EXPECT_FALSE(t.shotPending);
  t.shoot(true);  // -1 + 10: one press suffices again
  t.shoot(false);
  EXPECT_TRUE(t.shotPending);
}

}  // namespace
