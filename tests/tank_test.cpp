#include "Tank.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <vector>

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
// metres out, its angles taken as given.
TEST(TankRig, WithoutMeshesStaysWholeDrivesAndSwingsItsCamera) {
  const std::filesystem::path home = std::filesystem::current_path();
  const auto nowhere = std::filesystem::temp_directory_path() / "ferrox-no-media" / "bin";
  std::filesystem::create_directories(nowhere);
  std::filesystem::current_path(nowhere);  // from here "../media" leads nowhere
  TankScene s(false, vector3df(3, 0, 4));
  std::filesystem::current_path(home);
  const Tank& t = *s.tank;
  EXPECT_EQ(t.wheelNodes[0]->getType(), irr::scene::ESNT_EMPTY);

  expectNear(t.camera->getTarget(), vector3df(3, 0, 4), 0.0f);
  auto cameraFromHull = [&](float pitch, float yaw) {
    s.tank->rotateCamera(pitch, yaw);
    s.smgr->drawAll();
    return t.camera->getAbsolutePosition() - t.chassisNode->getAbsolutePosition();
  };
  expectNear(cameraFromHull(0, 180), vector3df(0, 0, 10), kPositionTol);
  EXPECT_NEAR(cameraFromHull(300, 500).getLength(), 10.0f, kPositionTol);
  expectNear(cameraFromHull(0, 0), vector3df(0, 0, -10), kPositionTol);

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

TEST(TankReset, BringsTheTankHomeInNeutralAndKeepsEverythingElse) {
  TankScene s;
  Tank& t = *s.tank;
  t.accelerate(true);
  t.turnRight(true);
  s.run(2.0f, k60Hz);
  t.jump();
  t.rotateCamera(10, 20);
  const int wheel = t.jumpWheel;
  const double spring = t.suspensions[5]->lastLength;

  t.reset();
  for (irr::scene::ISceneNode* node : {s.root, t.chassisNode}) {
    expectNear(node->getPosition(), kOrigin, 0.0f);
    expectNear(node->getRotation(), kOrigin, 0.0f);
  }
  expectNear(t.angularVelocity, kOrigin, 0.0f);
  expectNear(t.chassisVelocity, kOrigin, 0.0f);
  EXPECT_EQ(t.engine.getGear(), 0);
  EXPECT_EQ(t.engine.getSpeed(), 0.0);
  // Kept: the pending jump, the springs' memory and the camera.
  EXPECT_EQ(t.jumpWheel, wheel);
  EXPECT_EQ(t.suspensions[5]->lastLength, spring);
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

struct JumpPeak {
  float height;  // m, the hull's highest point
  float pitch;   // deg, its largest pitch either way
};

// A jump on the front left wheel of a tank settled at the same step rate.
JumpPeak jumpOnFrontWheel(int stepsPerSecond) {
  constexpr float kSettleSeconds = 5.0f;  // s
  constexpr float kFlightSeconds = 3.0f;  // s: up, down and the first rebounds
  const float dt = 1.0f / static_cast<float>(stepsPerSecond);
  TankScene s;
  s.run(kSettleSeconds, dt);
  s.tank->jumpWheel = 0;  // the wheel the jump command would pick at random
  JumpPeak peak{0.0f, 0.0f};
  for (long i = 0, n = std::lround(kFlightSeconds / dt); i < n; ++i) {
    s.frame(dt);
    peak.height = std::max(peak.height, s.tank->chassisNode->getPosition().Y);
    peak.pitch = std::max(peak.pitch, std::fabs(s.tank->chassisNode->getRotation().X));
  }
  return peak;
}

// The kick is an impulse: the same jump at any step rate, and at 60 steps/s the jump it
// always was (2.41 m, 50 deg).
TEST(TankJump, SameHeightAndPitchAtAnyStepRate) {
  constexpr float kShare = 0.05f;         // of the 60 steps/s peaks
  constexpr float kHeightAt60 = 2.4076f;  // m
  constexpr float kPitchAt60 = 50.1f;     // deg
  const JumpPeak reference = jumpOnFrontWheel(60);
  EXPECT_NEAR(reference.height, kHeightAt60, 1e-3f);
  EXPECT_NEAR(reference.pitch, kPitchAt60, 0.1f);
  for (int rate : {10, 20, 30, 144, 500, 1000}) {
    const JumpPeak peak = jumpOnFrontWheel(rate);
    EXPECT_NEAR(peak.height, reference.height, kShare * reference.height) << rate << " steps/s";
    EXPECT_NEAR(peak.pitch, reference.pitch, kShare * reference.pitch) << rate << " steps/s";
  }
}

// Everything a step can change, bit for bit.
std::vector<float> tankState(const Tank& t) {
  std::vector<float> v;
  auto add = [&v](const vector3df& a) { v.insert(v.end(), {a.X, a.Y, a.Z}); };
  for (const irr::scene::ISceneNode* node : {t.rootNode, t.chassisNode}) {
    add(node->getPosition());
    add(node->getRotation());
  }
  for (const irr::scene::ISceneNode* wheel : t.wheelNodes) add(wheel->getPosition());
  for (const suspension::Suspension* spring : t.suspensions)
    v.insert(v.end(),
             {static_cast<float>(spring->lastLength), static_cast<float>(spring->springForce)});
  add(t.angularVelocity);
  add(t.chassisVelocity);
  add(t.camera->getTarget());
  v.insert(v.end(), {static_cast<float>(t.engine.getSpeed()), t.turret.traverseRate,
                     static_cast<float>(t.jumpWheel)});
  return v;
}

// A step of no length, of negative length, not finite or too short to divide by leaves the
// tank as it was, a pending jump included; an absurdly long one runs as a minute.
TEST(TankBadSteps, ChangeNothingAndAnAbsurdlyLongOneStaysFinite) {
  const float infinity = std::numeric_limits<float>::infinity();
  const float bad[] = {0.0f, -0.0f, -k60Hz, -infinity, infinity, std::nanf(""), 1.0e-40f, 1.0e-35f};
  TankScene s;
  Tank& t = *s.tank;
  t.accelerate(true);
  t.turnRight(true);
  t.turnTurretLeft(true);
  s.run(1.0f, k60Hz);
  t.jump();
  s.smgr->drawAll();
  const std::vector<float> before = tankState(t);
  for (float dt : bad) {
    t.calculatePosition(dt);
    EXPECT_EQ(tankState(t), before) << "a step of " << dt << " s";
  }
  for (float dt : {1.0e6f, std::numeric_limits<float>::max()}) {
    s.frame(dt);
    for (float value : tankState(t)) ASSERT_TRUE(std::isfinite(value)) << "after " << dt << " s";
  }
}

struct DriveResult {
  double distance;  // m along the path
  vector3df end;    // m
  float heading;    // deg
};

// 20 s: throttle in first, second gear at 5 s, a right turn from 8 to 12 s, a left
// turn from 14 to 15 s, throttle off at 17 s.
DriveResult scriptedDrive(int stepsPerSecond) {
  TankScene s;
  Tank& t = *s.tank;
  auto at = [&](int frame, long seconds) { return frame == seconds * stepsPerSecond; };
  t.accelerate(true);
  DriveResult r{0.0, kOrigin, 0.0f};
  for (int frame = 0; frame < 20 * stepsPerSecond; ++frame) {
    if (at(frame, 5)) t.setGearUp();
    if (at(frame, 8)) t.turnRight(true);
    if (at(frame, 12)) t.turnRight(false);
    if (at(frame, 14)) t.turnLeft(true);
    if (at(frame, 15)) t.turnLeft(false);
    if (at(frame, 17)) t.accelerate(false);
    s.frame(1.0f / static_cast<float>(stepsPerSecond));
    r.distance += (s.root->getPosition() - r.end).getLength();
    r.end = s.root->getPosition();
  }
  r.heading = s.root->getRotation().Y;
  return r;
}

TEST(TankLongSteps, ScriptedDriveEndsInTheSamePlaceAtAnyFrameRate) {
  constexpr double kDistanceShare = 0.02;   // of the reference path
  constexpr float kDriveHeadingTol = 2.0f;  // deg
  const DriveResult reference = scriptedDrive(1000);
  ASSERT_GT(reference.distance, 100.0);
  ASSERT_GT(reference.heading, 20.0f);
  for (int rate : {5, 10, 30, 60, 144}) {
    const DriveResult r = scriptedDrive(rate);
    EXPECT_NEAR(r.distance, reference.distance, kDistanceShare * reference.distance) << rate;
    EXPECT_LE((r.end - reference.end).getLength(), kDistanceShare * reference.distance) << rate;
    EXPECT_NEAR(r.heading, reference.heading, kDriveHeadingTol) << rate << " steps/s";
  }
}

}  // namespace
