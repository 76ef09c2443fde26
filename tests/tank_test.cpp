#include "Tank.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <vector>

namespace {

using irr::core::vector3df;
using irr::scene::ISceneNode;

constexpr float kPositionTol = 1e-5f;    // m
constexpr float kHeightTol = 1e-5f;      // m, settled heights
constexpr float kVelocityTol = 1e-3f;    // m/s
constexpr float kYawRateTol = 1e-6f;     // deg/s, one step
constexpr float kHeadingTol = 1e-6f;     // deg, one step
constexpr float kSteadyRateTol = 1e-3f;  // deg/s, after settling
constexpr float kTiltTol = 1e-3f;        // deg, hull pitch and roll
constexpr double kPi = 3.14159265358979;
constexpr float k60Hz = 1.0f / 60.0f;  // s

constexpr float kSettledMountHeight = 0.918343f;  // m: 0.75 + 589200 / (14 x 250000)
constexpr float kSettledWheelY = -0.786686f;      // m: wheel centre 0.131657 above ground
constexpr float kSettledHullY = -0.081657f;       // m below the built position

const vector3df kOrigin(0, 0, 0);

// A tank on an empty root node of a null device, driven as the frame loop drives it.
struct TankScene {
  explicit TankScene(bool started = true, vector3df rootPosition = kOrigin) {
    irr::SIrrlichtCreationParameters params;
    params.DriverType = irr::video::EDT_NULL;
    params.LoggingLevel = irr::ELL_NONE;
    device = irr::createDeviceEx(params);
    smgr = device->getSceneManager();
    root = smgr->addEmptySceneNode();
    root->setPosition(rootPosition);
    root->updateAbsolutePosition();
    tank = std::make_unique<Tank>(device, root);
    if (started) tank->pause();  // a new tank is paused
  }
  ~TankScene() {
    tank.reset();
    device->drop();
  }
  TankScene(const TankScene&) = delete;
  TankScene& operator=(const TankScene&) = delete;

  // Draw (which refreshes world positions), then step.
  void frame(float dt) {
    smgr->drawAll();
    tank->calculatePosition(dt);
  }
  void run(float seconds, float dt) {
    for (long i = 0, n = std::lround(seconds / dt); i < n; ++i) frame(dt);
  }
  void settle() { run(10.0f, k60Hz); }
  float mountHeight(int i) const { return tank->suspensionNodes[i]->getAbsolutePosition().Y; }

  irr::IrrlichtDevice* device;
  irr::scene::ISceneManager* smgr;
  ISceneNode* root;
  std::unique_ptr<Tank> tank;
};

void expectNear(const vector3df& actual, const vector3df& expected, float tol) {
  EXPECT_NEAR(actual.X, expected.X, tol);
  EXPECT_NEAR(actual.Y, expected.Y, tol);
  EXPECT_NEAR(actual.Z, expected.Z, tol);
}

bool finite(const vector3df& v) {
  return std::isfinite(v.X) && std::isfinite(v.Y) && std::isfinite(v.Z);
}

// The rig as built from media/, and with no media at all: an empty node stands in for
// every mesh, the rig stays whole and the tank drives.
class TankRig : public ::testing::TestWithParam<bool> {};

TEST_P(TankRig, HangsEveryNodeInPlaceAndDrivesWithOrWithoutMeshes) {
  const bool meshesMissing = GetParam();
  const std::filesystem::path home = std::filesystem::current_path();
  if (meshesMissing) {  // from here "../media" leads nowhere
    const auto nowhere = std::filesystem::temp_directory_path() / "ferrox-no-media" / "bin";
    std::filesystem::create_directories(nowhere);
    std::filesystem::current_path(nowhere);
  }
  TankScene s(false, vector3df(3, 0, 4));
  std::filesystem::current_path(home);
  const Tank& t = *s.tank;
  const turret::Turret& gun = t.turret;

  // Tracks hang under the root, so the hull's bounce and tilt leave them alone.
  struct Hung {
    ISceneNode* node;
    const ISceneNode* parent;
    vector3df position;             // m
    const char* texture = nullptr;  // of a mesh node
    vector3df scale = vector3df(1, 1, 1);
  };
  const vector3df trackScale(1, 1.1f, 1.15f);
  std::vector<Hung> rig = {{t.chassisNode, s.root, kOrigin, "kamo.jpg"},
                           {t.trackNodes[0], s.root, {-1.7f, 0.6f, 0.05f}, "rust3.jpg", trackScale},
                           {t.trackNodes[1], s.root, {1.7f, 0.6f, 0.05f}, "rust3.jpg", trackScale},
                           {t.cameraPivot, t.chassisNode, kOrigin},
                           {t.camera, t.cameraPivot, {0, 0, -10}},
                           {gun.turretNode, t.chassisNode, {0, 2, 0}, "kamo.jpg"},
                           {gun.canonPivot, gun.turretNode, {0, 0.4f, 2.3f}},
                           {gun.canonNode, gun.canonPivot, {0, 0, 2.2f}, "kamo.jpg"}};
  // Spring mounts on one carrier, seven a side from 2.7 ahead, 0.9 apart; a wheel under each.
  ISceneNode* carrier = t.suspensionNodes[0]->getParent();
  rig.push_back({carrier, t.chassisNode, kOrigin});
  for (int i = 0; i < Tank::kWheelCount; ++i) {
    rig.push_back(
        {t.suspensionNodes[i], carrier, {i < 7 ? -1.7f : 1.7f, 1, 2.7f - 0.9f * (i % 7)}});
    rig.push_back({t.wheelNodes[i], t.suspensionNodes[i], {0, -0.75f, 0}, "metalox.jpg"});
  }
  irr::video::IVideoDriver* driver = s.device->getVideoDriver();
  for (size_t i = 0; i < rig.size(); ++i) {
    const Hung& h = rig[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(h.node->getParent(), h.parent);
    expectNear(h.node->getPosition(), h.position, kPositionTol);
    expectNear(h.node->getScale(), h.scale, kPositionTol);
    if (!h.texture) continue;
    // Mesh nodes are unlit and wear their textures; with no mesh an empty node stands in.
    ASSERT_EQ(h.node->getType(),
              meshesMissing ? irr::scene::ESNT_EMPTY : irr::scene::ESNT_ANIMATED_MESH);
    if (meshesMissing) continue;
    EXPECT_FALSE(h.node->getMaterial(0).getFlag(irr::video::EMF_LIGHTING));
    EXPECT_EQ(h.node->getMaterial(0).getTexture(0),
              driver->getTexture(irr::io::path("../media/tank/") + h.texture));
  }
  // The chase camera looks at where the root stood and swings round the hull ten metres out.
  EXPECT_EQ(t.camera->getFarValue(), 1000.0f);
  expectNear(t.camera->getTarget(), vector3df(3, 0, 4), 0.0f);
  auto cameraFromHull = [&](float pitch, float yaw) {
    s.tank->rotateCamera(pitch, yaw);
    s.smgr->drawAll();
    return t.camera->getAbsolutePosition() - t.chassisNode->getAbsolutePosition();
  };
  expectNear(cameraFromHull(0, 180), vector3df(0, 0, 10), kPositionTol);
  EXPECT_NEAR(cameraFromHull(300, 500).getLength(), 10.0f, kPositionTol);  // absolute, unclamped
  expectNear(cameraFromHull(0, 0), vector3df(0, 0, -10), kPositionTol);

  s.tank->pause();
  s.tank->accelerate(true);
  s.run(0.5f, k60Hz);
  EXPECT_GT(s.root->getPosition().Z, 4.1f);  // a new tank stands in first gear
}

INSTANTIATE_TEST_SUITE_P(FromMediaOrMissing, TankRig, ::testing::Bool());

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
  // Every mount reads 1.0 against a remembered 0: stiffness and damping pull the hull
  // down, the load pushes it up, and the jump gives the impulse of 1.0e8 N for 1/60 s.
  const float springs = 14.0f * (-62500.0f - 1.0f / 0.02f * 20000.0f);  // N
  EXPECT_NEAR(t.chassisVelocity.Y,
              (springs + 589200.0f) / 60000.0f * 0.02f + 1.0e8f / 60.0f / 60000.0f, kVelocityTol);
  const float kicked = t.chassisVelocity.Y;
  s.frame(0.02f);
  EXPECT_LT(t.chassisVelocity.Y, kicked);  // one kick per command: the springs pull it back
}

TEST(TankSuspension, SettlesLevelAtTheLoadedHeightsAndLeansUnderDriveAndTurn) {
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

  t.accelerate(true);  // the drive force lifts the nose
  s.run(0.5f, k60Hz);
  s.smgr->drawAll();
  EXPECT_GT(s.mountHeight(0), s.mountHeight(6) + 0.01f);
  EXPECT_GT(s.mountHeight(7), s.mountHeight(13) + 0.01f);
  t.turnRight(true);  // the outer, left, side sinks
  s.run(3.0f, k60Hz);
  s.smgr->drawAll();
  EXPECT_LT(s.mountHeight(3), s.mountHeight(10) - 0.01f);
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
    for (const ISceneNode* wheel : s.tank->wheelNodes) {
      EXPECT_LT(std::fabs(wheel->getPosition().Y), s.tank->camera->getFarValue()) << upright;
    }
  }
}

TEST(TankSteering, TurnsOnTheSpotAtEachGearsRateAndBothFlagsCancel) {
  TankScene s;
  Tank& t = *s.tank;
  t.turnRight(true);
  s.frame(0.02f);
  // One step in first gear; M.Y = 10000000 / 3 = 3333333.25 in single precision.
  EXPECT_NEAR(t.angularVelocity.Y, 0.973947f, kYawRateTol);
  EXPECT_NEAR(s.root->getRotation().Y, 0.019479f, kHeadingTol);

  for (int i = 0; i < 3; ++i) t.setGearDown();
  const float steadyRate[] = {15, 10, 48, 10, 15, 24, 28};  // deg/s, gears -2..4
  for (int gear = -2; gear <= 4; ++gear, t.setGearUp()) {
    t.turnLeft(gear < 0);  // left mirrors right
    t.turnRight(gear >= 0);
    s.run(3.0f, 0.02f);
    const float expected = gear < 0 ? -steadyRate[gear + 2] : steadyRate[gear + 2];
    EXPECT_NEAR(t.angularVelocity.Y, expected, kSteadyRateTol) << "gear " << gear;
  }
  expectNear(s.root->getPosition(), kOrigin, 0.0f);

  t.turnLeft(true);  // with right still held: no torque, the damping alone acts
  const float before = t.angularVelocity.Y;
  s.frame(0.02f);
  EXPECT_NEAR(t.angularVelocity.Y, before * (1.0f - 1.0e6f * 0.02f / (3.0f * 68450.0f)),
              kSteadyRateTol);
}

TEST(TankPlanar, AdvancesAlongTheHeadingAndWrapsAtFourHundred) {
  const struct {
    float heading;  // deg
    double speed;   // m/s
    float dt;       // s
  } advances[] = {
      {30, 10, 0.03f}, {0, 10, 0.02f}, {90, 5, 0.02f}, {-135, 3, 0.03f}, {30, -4, 0.02f}};
  for (const auto& c : advances) {
    TankScene s;
    Tank& t = *s.tank;
    t.engine = engine::Engine();  // neutral: the speed only coasts down
    t.engine.speed = c.speed;
    s.root->setRotation(vector3df(0, c.heading, 0));
    s.frame(c.dt);
    const double v = t.engine.getSpeed() * c.dt, psi = c.heading * kPi / 180.0;
    SCOPED_TRACE(c.heading);
    expectNear(s.root->getPosition(), vector3df(std::sin(psi) * v, 0, std::cos(psi) * v),
               kPositionTol);
    expectNear(t.camera->getTarget(), s.root->getPosition(), 0.0f);
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
  t.turnTurretLeft(true);
  s.run(2.0f, k60Hz);
  t.jump();
  t.rotateCamera(10, 20);
  const int wheel = t.jumpWheel;
  const double spring = t.suspensions[5]->lastLength;
  const vector3df target = t.camera->getTarget();

  t.reset();
  for (ISceneNode* node : {s.root, t.chassisNode}) {
    expectNear(node->getPosition(), kOrigin, 0.0f);
    expectNear(node->getRotation(), kOrigin, 0.0f);
  }
  expectNear(t.angularVelocity, kOrigin, 0.0f);
  expectNear(t.chassisVelocity, kOrigin, 0.0f);
  EXPECT_EQ(t.engine.getGear(), 0);
  EXPECT_EQ(t.engine.getSpeed(), 0.0);
  // Kept: the pending jump, the springs' memory and the camera until the next step.
  EXPECT_EQ(t.jumpWheel, wheel);
  EXPECT_EQ(t.suspensions[5]->lastLength, spring);
  expectNear(t.cameraPivot->getRotation(), vector3df(10, 20, 0), 0.0f);
  expectNear(t.camera->getTarget(), target, 0.0f);
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
    ASSERT_TRUE(finite(s.root->getPosition()) && finite(s.root->getRotation()) &&
                finite(t.chassisNode->getPosition()) && finite(t.chassisNode->getRotation()) &&
                std::isfinite(t.turret.traverseRate));
    if (frame < 4) continue;  // the first drop from the built height
    for (int i = 0; i < Tank::kWheelCount; ++i) {
      ASSERT_NEAR(s.mountHeight(i), kSettledMountHeight, kMountBand) << "mount " << i;
      ASSERT_TRUE(std::isfinite(t.wheelNodes[i]->getPosition().Y));
    }
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
  for (const ISceneNode* node : {t.rootNode, t.chassisNode}) {
    add(node->getPosition());
    add(node->getRotation());
  }
  for (const ISceneNode* wheel : t.wheelNodes) add(wheel->getPosition());
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
