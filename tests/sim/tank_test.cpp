#include "sim/Tank.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <utility>

#include "support.h"

namespace {

using irr::core::vector3df;
using support::k60Hz;
using support::TankScene;

constexpr float kPositionTol = 1e-5f;             // m
constexpr float kHeightTol = 1e-5f;               // m, settled heights
constexpr float kSteadyRateTol = 1e-3f;           // deg/s, after settling
constexpr float kTiltTol = 1e-3f;                 // deg, hull pitch and roll
constexpr float kSettledMountHeight = 0.918343f;  // m: 0.75 + 589200 / (14 x 250000)
const vector3df kOrigin(0, 0, 0);

// Paused, or given a step of no length, of negative length, not finite or too short to
// divide by, the tank stays as it was, a pending jump included (the jump's own test shows
// the kick). An absurdly long step runs as a minute. Reset brings it home in neutral at once.
TEST(TankSteps, PausedOrBadStepsChangeNothingAndResetBringsItHome) {
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
  for (int i = 0; i < 3; ++i) t.pause();  // paused: two pauses undo each other
  s.frame(0.02f);
  EXPECT_TRUE(state() == before) << "paused";
  t.pause();
  for (float dt : {0.0f, -0.0f, -k60Hz, -infinity, infinity, std::nanf(""), 1.0e-40f, 1.0e-35f}) {
    t.calculatePosition(dt);
    EXPECT_TRUE(state() == before) << "a step of " << dt << " s";
  }

  t.reset();
  for (const vector3df& v :
       {s.root->getPosition(), s.root->getRotation(), t.chassisNode->getPosition(),
        t.chassisNode->getRotation(), t.angularVelocity, t.chassisVelocity})
    EXPECT_EQ(v, kOrigin);
  EXPECT_EQ(t.engine.getGear(), 0);
  for (float dt : {1.0e6f, std::numeric_limits<float>::max()}) {
    s.frame(dt);
    EXPECT_TRUE(support::finiteRig(t.rootNode)) << "after " << dt << " s";
  }
}

// Settled level at the loaded heights; under throttle a right turn rolls the hull to the
// left, the outer side sinking. Tipped on end since the last drawn frame, each wheel
// still hangs within sight.
TEST(TankSuspension, SettlesLevelUnderTheLoadTiltsUnderThrottleAndTurnAndHangsOnEnd) {
  TankScene s;
  Tank& t = *s.tank;
  s.settle();
  s.smgr->drawAll();
  for (int i = 0; i < Tank::kWheelCount; ++i)
    EXPECT_NEAR(s.mountHeight(i), kSettledMountHeight, kHeightTol) << i;
  t.accelerate(true);
  s.run(0.5f, k60Hz);
  t.turnRight(true);
  s.run(2.0f, k60Hz);
  EXPECT_GT(t.chassisNode->getRotation().Z, 0.1f);  // deg
  s.smgr->drawAll();
  EXPECT_LT(s.mountHeight(3), s.mountHeight(10));
  t.reset();
  for (float upright : {90.0f, -90.0f, 270.0f}) {
    t.chassisNode->setRotation(vector3df(upright, 0, 0));
    t.calculatePosition(k60Hz);
    ASSERT_NEAR(t.chassisNode->getRotation().X, upright, kTiltTol);
    for (const irr::scene::ISceneNode* wheel : t.wheelNodes)
      EXPECT_LT(std::fabs(wheel->getPosition().Y), t.camera->getFarValue()) << upright;
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
    t.turnRight(true);
    t.turnLeft(true);
    s.run(3.0f, 0.02f);
    EXPECT_NEAR(t.angularVelocity.Y, 0.0f, kSteadyRateTol);
  }
}

// A step of 0.02 s moves the root along its heading by the speed's distance (coasting in
// neutral loses less than the tolerance); past 400 m either way it comes back in at the
// other side.
TEST(TankPlanar, AdvancesAlongTheHeadingAndWrapsAtFourHundred) {
  const struct {
    float heading, speed, x, z, movedX, movedZ;  // deg, m/s, m
  } steps[] = {{90, 10, 0, 0, 0.2f, 0},      {180, 10, 0, 0, 0, -0.2f},
               {-90, -5, 0, 0, 0.1f, 0},     {0, 0, 400, -400.5f, 400, -0.5f},
               {0, 0, 400.5f, 10, 0.5f, 10}, {0, 0, -400.5f, 400.5f, -0.5f, 0.5f}};
  for (const auto& c : steps) {
    TankScene s;
    s.tank->engine = engine::Engine();
    s.tank->engine.speed = c.speed;
    s.root->setRotation(vector3df(0, c.heading, 0));
    s.root->setPosition(vector3df(c.x, 0, c.z));
    s.frame(0.02f);
    EXPECT_TRUE(s.root->getPosition().equals(vector3df(c.movedX, 0, c.movedZ), kPositionTol))
        << c.heading << " deg at " << c.speed << " m/s from " << c.x << ", " << c.z;
  }
}

// A frame longer than a thirtieth runs as ceil(dt x 30) equal sub-steps, each reading the
// heights the one before left; at two frames a second the tank stays on its springs, and
// the chase camera follows the root.
TEST(TankLongSteps, ALongFrameRunsAsItsSubStepsAndTwoFramesPerSecondStayOnTheSprings) {
  constexpr float kSameTol = 1e-4f;   // m and deg/s: float rounding of the sub-step length
  constexpr float kMountBand = 0.1f;  // m around the settled height
  TankScene s, split;
  for (TankScene* scene : {&s, &split}) {
    scene->tank->accelerate(true);
    scene->tank->turnRight(true);
    scene->tank->turnTurretRight(true);
  }
  s.frame(0.5f);
  split.run(0.5f, 0.5f / 15);
  for (int i = 0; i < Tank::kWheelCount; ++i)
    EXPECT_NEAR(s.tank->wheelNodes[i]->getPosition().Y, split.tank->wheelNodes[i]->getPosition().Y,
                kSameTol);
  for (int frame = 1; frame < 120; ++frame) {
    s.frame(0.5f);
    for (int i = 0; i < Tank::kWheelCount && frame >= 4; ++i)  // after the first drop
      ASSERT_NEAR(s.mountHeight(i), kSettledMountHeight, kMountBand) << frame << ", " << i;
  }
  EXPECT_NEAR(s.tank->angularVelocity.Y, 10.0f, kSteadyRateTol);
  EXPECT_EQ(s.tank->camera->getTarget(), s.root->getPosition());
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

// The kick is an impulse: the same jump at any step rate, and at 60 steps/s the hull
// thrown 2.41 m up and pitched 50 deg.
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

}  // namespace
