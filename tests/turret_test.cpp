#include "turret.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include "support.h"

namespace {

constexpr float kRateTol = 1e-3f;   // deg/s
constexpr float kAngleTol = 1e-3f;  // deg
using support::k60Hz;

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

TEST(TurretTraverse, RunsUpToFiftySixDegreesPerSecondAndDampsOutWhenNotDriven) {
  TurretScene s;
  s.turret.rotateRight(true);
  s.turret.calculate(k60Hz);
  EXPECT_NEAR(s.turret.traverseRate, -12.240f, kRateTol);
  EXPECT_NEAR(s.yaw(), -0.204f, kAngleTol);
  s.run(2.0f, k60Hz);
  EXPECT_NEAR(s.turret.traverseRate, -56.0f, kRateTol);
  EXPECT_EQ(s.elevation(), 0.0f);  // only the yaw turns

  TurretScene left;  // left turns towards growing yaw
  left.turret.rotateLeft(true);
  left.run(2.0f, 0.02f);
  EXPECT_NEAR(left.turret.traverseRate, 56.0f, kRateTol);

  // Both held, then neither: the damping alone acts.
  const float dt = 0.01f;  // s
  for (bool held : {true, false}) {
    left.turret.rotateRight(held);
    left.turret.rotateLeft(held);
    const float before = left.turret.traverseRate;
    left.turret.calculate(dt);
    EXPECT_NEAR(left.turret.traverseRate, before * (1.0f - 500000.0f * dt / 38125.0f), kRateTol);
  }
  left.run(2.0f, dt);
  EXPECT_NEAR(left.turret.traverseRate, 0.0f, kRateTol);
}

TEST(TurretElevation, MovesAtTwentyDegreesPerSecondAndStopsExactlyAtTheLimits) {
  for (float dt : {1.0f / 144.0f, k60Hz, 0.07f, 0.5f}) {
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
