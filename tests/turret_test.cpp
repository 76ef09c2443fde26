#include "turret.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

namespace {

using irr::core::vector3df;

constexpr float kRateTol = 1e-3f;      // deg/s
constexpr float kAngleTol = 1e-3f;     // deg
constexpr float kPositionTol = 1e-6f;  // m

// A null device and an empty node to carry the turret.
struct TurretScene {
  TurretScene() {
    irr::SIrrlichtCreationParameters params;
    params.DriverType = irr::video::EDT_NULL;
    params.LoggingLevel = irr::ELL_NONE;
    device = irr::createDeviceEx(params);
    carrier = device->getSceneManager()->addEmptySceneNode();
    turret = turret::Turret(device, carrier);
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
  irr::scene::ISceneNode* carrier;
  turret::Turret turret;
};

void expectNear(const vector3df& actual, const vector3df& expected, float tol) {
  EXPECT_NEAR(actual.X, expected.X, tol);
  EXPECT_NEAR(actual.Y, expected.Y, tol);
  EXPECT_NEAR(actual.Z, expected.Z, tol);
}

TEST(TurretBuild, ChainsTurretPivotAndGunOnTheCarrier) {
  TurretScene s;
  const turret::Turret& t = s.turret;
  EXPECT_EQ(t.parent, s.carrier);
  ASSERT_NE(t.turretNode, nullptr);
  ASSERT_NE(t.canonPivot, nullptr);
  ASSERT_NE(t.canonNode, nullptr);
  EXPECT_EQ(t.turretNode->getParent(), s.carrier);
  EXPECT_EQ(t.canonPivot->getParent(), t.turretNode);
  EXPECT_EQ(t.canonNode->getParent(), t.canonPivot);
  expectNear(t.turretNode->getPosition(), vector3df(0, 2, 0), kPositionTol);
  expectNear(t.canonPivot->getPosition(), vector3df(0, 0.4f, 2.3f), kPositionTol);
  expectNear(t.canonNode->getPosition(), vector3df(0, 0, 2.2f), kPositionTol);
}

TEST(TurretBuild, ACopySharesTheNodesAndItsEndLeavesThemInTheScene) {
  TurretScene s;
  {
    turret::Turret copy = s.turret;
    EXPECT_EQ(copy.turretNode, s.turret.turretNode);
    copy.rotateLeft(true);
    copy.calculate(0.1f);  // moves the shared node
  }
  EXPECT_GT(s.yaw(), 0.0f);
  EXPECT_EQ(s.turret.turretNode->getParent(), s.carrier);
  EXPECT_EQ(s.turret.canonNode->getParent(), s.turret.canonPivot);
}

TEST(TurretTraverse, FollowsTheInertialStepTowardsFiftySixDegreesPerSecond) {
  TurretScene s;
  s.turret.rotateRight(true);
  const float dt = 1.0f / 60.0f;
  s.turret.calculate(dt);
  EXPECT_NEAR(s.turret.traverseRate, -12.240f, kRateTol);
  EXPECT_NEAR(s.yaw(), -0.204f, kAngleTol);
  s.turret.calculate(dt);
  EXPECT_NEAR(s.turret.traverseRate, -21.805f, kRateTol);
  EXPECT_NEAR(s.yaw(), -0.567f, kAngleTol);
  s.run(2.0f, dt);
  EXPECT_NEAR(s.turret.traverseRate, -56.0f, kRateTol);
  // Only the yaw turns; the gun keeps its elevation.
  EXPECT_EQ(s.turret.turretNode->getRotation().X, 0.0f);
  EXPECT_EQ(s.turret.turretNode->getRotation().Z, 0.0f);
  EXPECT_EQ(s.elevation(), 0.0f);

  TurretScene left;  // left turns towards growing yaw, and the yaw is not wrapped
  left.turret.rotateLeft(true);
  left.run(10.0f, 0.02f);
  EXPECT_NEAR(left.turret.traverseRate, 56.0f, kRateTol);
  EXPECT_GT(left.yaw(), 360.0f);
}

TEST(TurretTraverse, BothOrNeitherHeldLetsTheRateDecay) {
  for (bool both : {true, false}) {
    TurretScene s;
    s.turret.rotateRight(true);
    s.run(1.0f, 0.01f);
    s.turret.rotateLeft(both);
    s.turret.rotateRight(both);
    const float before = s.turret.traverseRate;
    const float dt = 0.01f;
    s.turret.calculate(dt);
    EXPECT_NEAR(s.turret.traverseRate, before * (1.0f - 500000.0f * dt / 38125.0f), kRateTol);
    s.run(2.0f, dt);
    EXPECT_NEAR(s.turret.traverseRate, 0.0f, kRateTol) << "both held: " << both;
  }
}

TEST(TurretTraverse, StepsBetweenOneAndTwoTimeConstantsAlternateAroundTheTarget) {
  TurretScene s;
  s.turret.rotateRight(true);
  const float dt = 0.12f;  // between 0.07625 s and 0.1525 s
  s.turret.calculate(dt);
  EXPECT_LT(s.turret.traverseRate, -56.0f);  // overshoots ...
  s.turret.calculate(dt);
  EXPECT_GT(s.turret.traverseRate, -56.0f);  // ... swings back ...
  s.run(12.0f, dt);
  EXPECT_NEAR(s.turret.traverseRate, -56.0f, kRateTol);  // ... and settles
}

TEST(TurretElevation, MovesAtTwentyDegreesPerSecondAndStopsExactlyAtTheLimits) {
  for (float dt : {1.0f / 144.0f, 1.0f / 60.0f, 0.07f, 0.5f}) {
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

  t.shoot(true);
  t.shoot(true);
  t.shoot(true);
  EXPECT_EQ(t.shotCharge, 30.0f);
  EXPECT_FALSE(t.shotPending);
  t.shoot(false);
  t.shoot(false);  // a second release before the step keeps one shot
  EXPECT_TRUE(t.shotPending);
  t.calculate(0.02f);
  EXPECT_FALSE(t.shotPending);
  EXPECT_EQ(t.shotCharge, -1.0f);
  t.calculate(0.02f);
  EXPECT_EQ(t.shotCharge, -1.0f);

  t.shoot(false);  // spent charge: nothing to release
  EXPECT_FALSE(t.shotPending);
  t.shoot(true);  // -1 + 10: one press suffices again
  t.shoot(false);
  EXPECT_TRUE(t.shotPending);
}

}  // namespace
