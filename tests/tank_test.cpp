#include "Tank.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <tuple>
#include <utility>

#include "support.h"

namespace {

using irr::core::vector3df;
using support::k60Hz;
using support::TankScene;

constexpr float kPositionTol = 1e-5f;    // m
constexpr float kHeightTol = 1e-5f;      // m, settled heights
constexpr float kSteadyRateTol = 1e-3f;  // deg/s, after settling
constexpr float kTiltTol = 1e-3f;        // deg, hull pitch and roll
constexpr double kPi = 3.14159265358979;

constexpr float kSettledMountHeight = 0.918343f;  // m: 0.75 + 589200 / (14 x 250000)
constexpr float kSettledWheelY = -0.786686f;      // m: wheel centre 0.131657 above ground
constexpr float kSettledHullY = -0.081657f;       // m below the built position

const vector3df kOrigin(0, 0, 0);

void expectNear(const vector3df& actual, const vector3df& expected, float tol) {
  EXPECT_NEAR(actual.X, expected.X, tol);
  EXPECT_NEAR(actual.Y, expected.Y, tol);
  EXPECT_NEAR(actual.Z, expected.Z, tol);
}

// With no media an empty node stands in for every mesh: the rig stays whole and the tank
// drives. The chase camera looks at where the root stood and swings round the hull ten
// metres out, its angles taken as given wherever they leave it above the ground.
TEST(TankRig, WithoutMeshesStaysWholeDrivesAndSwingsItsCamera) {
  const std::filesystem::path home = std::filesystem::current_path();
  const auto nowhere = std::filesystem::temp_directory_path() / "ferrox-no-media" / "bin";
  std::filesystem::create_directories(nowhere);
  std::filesystem::current_path(nowhere);  // from here "../media" leads nowhere
  TankScene s(false, vector3df(3, 0, 4));
  std::filesystem::current_path(home);
  std::filesystem::remove_all(nowhere.parent_path());
  const Tank& t = *s.tank;
  EXPECT_EQ(t.wheelNodes[0]->getType(), irr::scene::ESNT_EMPTY);

  expectNear(t.camera->getTarget(), vector3df(3, 0, 4), 0.0f);
  auto cameraFromHull = [&](float pitch, float yaw) {
    s.tank->rotateCamera(pitch, yaw);
    s.smgr->drawAll();
    return t.camera->getAbsolutePosition() - t.chassisNode->getAbsolutePosition();
  };
  expectNear(cameraFromHull(30, 180), vector3df(0, 5, 10 * std::sqrt(0.75f)), kPositionTol);
  EXPECT_NEAR(cameraFromHull(300, 500).getLength(), 10.0f, kPositionTol);
  expectNear(cameraFromHull(30, 0), vector3df(0, 5, -10 * std::sqrt(0.75f)), kPositionTol);

  s.tank->pause();
  s.tank->accelerate(true);
  s.run(0.5f, k60Hz);
  EXPECT_GT(s.root->getPosition().Z, 4.1f);  // a new tank stands in first gear
  expectNear(t.camera->getTarget(), s.root->getPosition(), 0.0f);
}

// Paused, steps change nothing; held commands and a jump act at the first step after, and
// the jump kicks once.
TEST(TankPause, PausedStepsChangeNothingAndCommandsActAtTheFirstStepAfter) {
  TankScene s(false);
  Tank& t = *s.tank;
  t.accelerate(true);
  t.turnRight(true);
  t.turnTurretLeft(true);
  t.jump();
  s.frame(5.0f);
  t.pause();
  t.pause();  // two pauses leave it paused
  s.frame(0.02f);
  EXPECT_EQ(t.engine.getSpeed(), 0.0);
  expectNear(s.root->getPosition(), kOrigin, 0.0f);
  expectNear(t.chassisNode->getPosition(), kOrigin, 0.0f);
  EXPECT_EQ(t.turret.traverseRate, 0.0f);

  t.pause();
  s.frame(0.02f);
  EXPECT_GT(t.engine.getSpeed(), 0.0);
  EXPECT_GT(t.angularVelocity.Y, 0.0f);
  EXPECT_GT(t.turret.traverseRate, 0.0f);
  EXPECT_GT(t.chassisVelocity.Y, 20.0f);  // m/s: the kick outweighs the springs' first pull
  const float kicked = t.chassisVelocity.Y;
  s.frame(0.02f);
  EXPECT_LT(t.chassisVelocity.Y, kicked);  // one kick per command: the springs pull it back
}

// Settled level at the loaded heights; throttle lifts the nose, a right turn rolls the hull
// to the left, both by amounts that the pitch and roll inertias set.
TEST(TankSuspension, SettlesLevelAndPitchesAndRollsByTheRightAmounts) {
  TankScene s;
  Tank& t = *s.tank;
  s.settle();
  s.smgr->drawAll();
  for (int i = 0; i < Tank::kWheelCount; ++i) {
    EXPECT_NEAR(s.mountHeight(i), kSettledMountHeight, kHeightTol) << i;
    EXPECT_NEAR(t.wheelNodes[i]->getPosition().Y, kSettledWheelY, kHeightTol) << i;
  }
  EXPECT_NEAR(t.chassisNode->getPosition().Y, kSettledHullY, kHeightTol);
  expectNear(t.chassisNode->getRotation(), kOrigin, kTiltTol);

  t.accelerate(true);
  s.run(0.5f, k60Hz);
  EXPECT_NEAR(t.chassisNode->getRotation().X, -0.329f, 0.01f);  // deg, nose up
  t.turnRight(true);
  s.run(1.0f, k60Hz);
  EXPECT_NEAR(t.chassisNode->getRotation().Z, 0.143f, 0.01f);  // deg, rising
  s.run(1.0f, k60Hz);
  EXPECT_NEAR(t.chassisNode->getRotation().Z, 0.329f, 0.01f);  // deg, near its peak
  s.smgr->drawAll();
  EXPECT_LT(s.mountHeight(3), s.mountHeight(10));  // the outer, left, side sinks
}

// Tipped on end since the last drawn frame: each wheel hangs its mount's height over
// cos(pitch) along the hull axis.
TEST(TankSuspension, HullOnItsEndKeepsItsWheelsInTheWorld) {
  TankScene s;
  s.settle();
  for (float upright : {90.0f, -90.0f, 270.0f}) {
    s.tank->chassisNode->setRotation(vector3df(upright, 0, 0));
    s.tank->calculatePosition(k60Hz);
    ASSERT_NEAR(s.tank->chassisNode->getRotation().X, upright, kTiltTol);
    for (const irr::scene::ISceneNode* wheel : s.tank->wheelNodes)
      EXPECT_LT(std::fabs(wheel->getPosition().Y), s.tank->camera->getFarValue()) << upright;
  }
}

// On the spot in first gear: right turns towards growing heading up to 10 deg/s with a
// time constant of 0.205 s (inertia over damping); left mirrors it; both cancel.
TEST(TankSteering, TurnsOnTheSpotEitherWayAndBothFlagsCancel) {
  for (bool right : {true, false}) {
    TankScene s;
    Tank& t = *s.tank;
    const float sign = right ? 1.0f : -1.0f;
    t.turnRight(right);
    t.turnLeft(!right);
    s.run(0.205f, 0.001f);
    EXPECT_NEAR(t.angularVelocity.Y, sign * 10.0f * 0.632f, 0.1f);
    s.run(3.0f, 0.02f);
    EXPECT_NEAR(t.angularVelocity.Y, sign * 10.0f, kSteadyRateTol);
    EXPECT_GT(sign * s.root->getRotation().Y, 20.0f);
    expectNear(s.root->getPosition(), kOrigin, 0.0f);
    t.turnRight(true);
    t.turnLeft(true);
    s.run(3.0f, 0.02f);
    EXPECT_NEAR(t.angularVelocity.Y, 0.0f, kSteadyRateTol);
  }
}

TEST(TankPlanar, AdvancesAlongTheHeadingAndWrapsAtFourHundred) {
  const struct {
    float heading;  // deg
    double speed;   // m/s
  } advances[] = {{30, 10}, {-135, 3}, {30, -4}};
  for (const auto& c : advances) {
    TankScene s;
    Tank& t = *s.tank;
    t.engine = engine::Engine();  // neutral: the speed only coasts down
    t.engine.speed = c.speed;
    s.root->setRotation(vector3df(0, c.heading, 0));
    s.frame(0.02f);
    const double v = t.engine.getSpeed() * 0.02, psi = c.heading * kPi / 180.0;
    SCOPED_TRACE(c.heading);
    expectNear(s.root->getPosition(), vector3df(std::sin(psi) * v, 0, std::cos(psi) * v),
               kPositionTol);
  }
  const struct {
    float x, z, wrappedX, wrappedZ;  // m
  } wraps[] = {{400.0f, 400.0f, 400.0f, 400.0f},
               {400.5f, 10.0f, 0.5f, 10.0f},
               {-400.5f, 400.5f, -0.5f, 0.5f},
               {-400.0f, -400.5f, -400.0f, -0.5f}};
  for (const auto& c : wraps) {
    TankScene s;
    s.root->setPosition(vector3df(c.x, 0, c.z));
    s.frame(0.02f);
    expectNear(s.root->getPosition(), vector3df(c.wrappedX, 0, c.wrappedZ), kPositionTol);
  }
}

// Back home in neutral at once; a pending jump and the camera stay as they were.
TEST(TankReset, BringsTheTankHomeInNeutralAndKeepsThePendingJumpAndTheCamera) {
  TankScene s;
  Tank& t = *s.tank;
  t.accelerate(true);
  t.turnRight(true);
  s.run(2.0f, k60Hz);
  t.jump();
  t.rotateCamera(10, 20);
  const int wheel = t.jumpWheel;
  t.reset();
  for (const vector3df& v :
       {s.root->getPosition(), s.root->getRotation(), t.chassisNode->getPosition(),
        t.chassisNode->getRotation(), t.angularVelocity, t.chassisVelocity})
    expectNear(v, kOrigin, 0.0f);
  EXPECT_EQ(t.engine.getGear(), 0);
  EXPECT_EQ(t.engine.getSpeed(), 0.0);
  EXPECT_EQ(t.jumpWheel, wheel);
  expectNear(t.cameraPivot->getRotation(), vector3df(10, 20, 0), 0.0f);
}

TEST(TankLongSteps, TwoFramesPerSecondForAMinuteStayOnTheSprings) {
  constexpr float kMountBand = 0.1f;  // m around the settled height
  constexpr float kMaxTilt = 5.0f;    // deg
  TankScene s;
  Tank& t = *s.tank;
  t.accelerate(true);
  t.turnRight(true);
  t.turnTurretRight(true);
  s.frame(0.5f);
  // A frame longer than a thirtieth runs as ceil(dt x 30) equal sub-steps.
  turret::Turret reference(s.device, s.smgr->addEmptySceneNode());
  reference.rotateRight(true);
  for (int i = 0; i < 15; ++i) reference.calculate(0.5f / 15.0f);
  EXPECT_EQ(t.turret.traverseRate, reference.traverseRate);
  for (int frame = 1; frame < 120; ++frame) {
    s.frame(0.5f);
    SCOPED_TRACE(frame);
    ASSERT_EQ(support::firstNonFinite(t), "");
    if (frame < 4) continue;  // the first drop from the built height
    for (int i = 0; i < Tank::kWheelCount; ++i)
      ASSERT_NEAR(s.mountHeight(i), kSettledMountHeight, kMountBand) << "mount " << i;
    ASSERT_LT(std::fabs(t.chassisNode->getRotation().X), kMaxTilt);
    ASSERT_LT(std::fabs(t.chassisNode->getRotation().Z), kMaxTilt);
  }
  EXPECT_NEAR(t.turret.traverseRate, -56.0f, kSteadyRateTol);
  EXPECT_NEAR(t.angularVelocity.Y, 10.0f, kSteadyRateTol);
}

// The peak height and pitch of a jump on the front left wheel of a tank settled at the
// same step rate.
std::pair<float, float> jumpOnFrontWheel(int stepsPerSecond) {
  const float dt = 1.0f / static_cast<float>(stepsPerSecond);
  TankScene s;
  s.run(5.0f, dt);
  s.tank->jumpWheel = 0;  // the wheel the jump command would pick at random
  std::pair<float, float> peak{0.0f, 0.0f};
  for (long i = 0, n = std::lround(3.0f / dt); i < n; ++i) {  // up, down and rebounds
    s.frame(dt);
    peak.first = std::max(peak.first, s.tank->chassisNode->getPosition().Y);
    peak.second = std::max(peak.second, std::fabs(s.tank->chassisNode->getRotation().X));
  }
  return peak;
}

// The kick is an impulse: the same jump at any step rate, and at 60 steps/s the jump it
// always was (2.41 m, 50 deg).
TEST(TankJump, SameHeightAndPitchAtAnyStepRate) {
  const auto [height, pitch] = jumpOnFrontWheel(60);
  EXPECT_NEAR(height, 2.4076f, 1e-3f);  // m
  EXPECT_NEAR(pitch, 50.1f, 0.1f);      // deg
  for (int rate : {10, 20, 30, 144, 500, 1000}) {
    const auto peak = jumpOnFrontWheel(rate);
    EXPECT_NEAR(peak.first, height, 0.05f * height) << rate << " steps/s";
    EXPECT_NEAR(peak.second, pitch, 0.05f * pitch) << rate << " steps/s";
  }
}

// A step of no length, of negative length, not finite or too short to divide by leaves the
// tank as it was, a pending jump included; an absurdly long one runs as a minute.
TEST(TankBadSteps, ChangeNothingAndAnAbsurdlyLongOneStaysFinite) {
  const float infinity = std::numeric_limits<float>::infinity();
  TankScene s;
  Tank& t = *s.tank;
  t.accelerate(true);
  t.turnRight(true);
  t.turnTurretLeft(true);
  s.run(1.0f, k60Hz);
  t.jump();
  s.smgr->drawAll();
  auto state = [&t] {
    return std::make_tuple(t.rootNode->getPosition(), t.rootNode->getRotation(),
                           t.chassisNode->getPosition(), t.chassisNode->getRotation(),
                           t.wheelNodes[0]->getPosition(), t.angularVelocity, t.chassisVelocity,
                           t.suspensions[0]->lastLength, t.engine.getSpeed(), t.turret.traverseRate,
                           t.jumpWheel);
  };
  const auto before = state();
  for (float dt : {0.0f, -0.0f, -k60Hz, -infinity, infinity, std::nanf(""), 1.0e-40f, 1.0e-35f}) {
    t.calculatePosition(dt);
    EXPECT_TRUE(state() == before) << "a step of " << dt << " s";
  }
  for (float dt : {1.0e6f, std::numeric_limits<float>::max()}) {
    s.frame(dt);
    EXPECT_EQ(support::firstNonFinite(t), "") << "after " << dt << " s";
  }
}

}  // namespace
