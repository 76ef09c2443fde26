#include "Tank.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

using irr::core::vector3df;
using irr::scene::ISceneNode;

constexpr float kPositionTol = 1e-5f;    // m
constexpr float kHeightTol = 1e-5f;      // m, settled heights
constexpr float kVelocityTol = 1e-3f;    // m/s
constexpr float kYawRateTol = 1e-6f;     // deg/s, one step
constexpr float kHeadingTol = 1e-6f;     // deg, one step
constexpr float kSteadyRateTol = 1e-3f;  // deg/s, after settling
constexpr float kTiltTol = 1e-3f;        // deg, hull pitch and roll at rest
constexpr float kKickTol = 0.01f;        // m/s and deg/s, a jump's kick on a settled hull
constexpr double kPi = 3.14159265358979;
constexpr float k60Hz = 1.0f / 60.0f;  // s

constexpr float kSettledMountHeight = 0.918343f;  // m: 0.75 + 589200 / (14 x 250000)
constexpr float kSettledWheelY = -0.786686f;      // m: wheel centre 0.131657 above ground
constexpr float kSettledHullY = -0.081657f;       // m below the built position

const vector3df kOrigin(0, 0, 0);

// A null device with a tank on an empty root node. With `withAssets` the meshes and
// textures the tank asks for are put in the engine's caches first, so it gets mesh
// nodes whether or not media/ is there; without, it gets whatever loads.
class TankScene {
 public:
  explicit TankScene(bool withAssets = false, vector3df rootPosition = kOrigin) {
    irr::SIrrlichtCreationParameters params;
    params.DriverType = irr::video::EDT_NULL;
    params.LoggingLevel = irr::ELL_NONE;
    device = irr::createDeviceEx(params);
    smgr = device->getSceneManager();
    if (withAssets) plantAssets();
    root = smgr->addEmptySceneNode();
    root->setPosition(rootPosition);
    root->updateAbsolutePosition();
    tank = std::make_unique<Tank>(device, root);
  }
  ~TankScene() {
    tank.reset();
    device->drop();
  }
  TankScene(const TankScene&) = delete;
  TankScene& operator=(const TankScene&) = delete;

  // The frame loop: draw (which refreshes world positions), then step.
  void frame(float dt) {
    smgr->drawAll();
    tank->calculatePosition(dt);
  }
  void run(float seconds, float dt) {
    for (long i = 0, n = std::lround(seconds / dt); i < n; ++i) frame(dt);
  }
  // Unpaused and left alone until the hull rests on its springs.
  void settle() {
    tank->pause();
    run(5.0f, k60Hz);
  }
  float mountHeight(int i) const { return tank->suspensionNodes[i]->getAbsolutePosition().Y; }

  irr::IrrlichtDevice* device;
  irr::scene::ISceneManager* smgr;
  ISceneNode* root;
  std::unique_ptr<Tank> tank;

 private:
  void plantAssets() {
    for (const char* name : {"chassi.3ds", "track.3ds", "wheel.3ds", "turret.3ds", "canon.3ds"}) {
      irr::scene::IMesh* cube = smgr->getGeometryCreator()->createCubeMesh();
      auto* mesh = new irr::scene::SAnimatedMesh(cube);
      cube->drop();
      smgr->getMeshCache()->addMesh(irr::io::path("../media/tank/") + name, mesh);
      mesh->drop();
    }
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    for (const char* name : {"kamo.jpg", "rust3.jpg", "metalox.jpg"}) {
      irr::video::IImage* image =
          driver->createImage(irr::video::ECF_A8R8G8B8, irr::core::dimension2du(2, 2));
      driver->addTexture(irr::io::path("../media/tank/") + name, image);
      image->drop();
    }
  }
};

void expectNear(const vector3df& actual, const vector3df& expected, float tol) {
  EXPECT_NEAR(actual.X, expected.X, tol);
  EXPECT_NEAR(actual.Y, expected.Y, tol);
  EXPECT_NEAR(actual.Z, expected.Z, tol);
}

bool finite(const vector3df& v) {
  return std::isfinite(v.X) && std::isfinite(v.Y) && std::isfinite(v.Z);
}

// ---------------------------------------------------------------------------------------
// The rig as built, with the meshes loaded and with them missing

class TankRig : public ::testing::TestWithParam<bool> {};

TEST_P(TankRig, HangsEveryNodeInPlaceAndDrivesWithOrWithoutMeshes) {
  const bool withAssets = GetParam();
  TankScene s(withAssets, vector3df(3, 0, 4));
  const Tank& t = *s.tank;

  EXPECT_EQ(t.chassisNode->getParent(), s.root);
  expectNear(t.chassisNode->getPosition(), kOrigin, 0.0f);
  // Tracks hang under the root, so the hull's bounce and tilt leave them alone.
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(t.trackNodes[i]->getParent(), s.root);
    expectNear(t.trackNodes[i]->getPosition(), vector3df(i ? 1.7f : -1.7f, 0.6f, 0.05f),
               kPositionTol);
    expectNear(t.trackNodes[i]->getScale(), vector3df(1, 1.1f, 1.15f), kPositionTol);
  }
  // Chase camera behind the hull on a pivot, aimed at where the root stood.
  EXPECT_EQ(t.cameraPivot->getParent(), t.chassisNode);
  EXPECT_EQ(t.camera->getParent(), t.cameraPivot);
  expectNear(t.camera->getPosition(), vector3df(0, 0, -10), 0.0f);
  EXPECT_EQ(t.camera->getFarValue(), 1000.0f);
  expectNear(t.camera->getTarget(), vector3df(3, 0, 4), 0.0f);
  EXPECT_EQ(t.turret.turretNode->getParent(), t.chassisNode);

  // Mounts on one carrier at the hull's origin, a wheel 0.75 under each.
  ISceneNode* carrier = t.suspensionNodes[0]->getParent();
  ASSERT_NE(carrier, nullptr);
  EXPECT_EQ(carrier->getParent(), t.chassisNode);
  for (int i = 0; i < Tank::kWheelCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t.suspensionNodes[i]->getParent(), carrier);
    expectNear(t.suspensionNodes[i]->getPosition(),
               vector3df(i < 7 ? -1.7f : 1.7f, 1.0f, 2.7f - 0.9f * (i % 7)), kPositionTol);
    EXPECT_EQ(t.wheelNodes[i]->getParent(), t.suspensionNodes[i]);
    expectNear(t.wheelNodes[i]->getPosition(), vector3df(0, -0.75f, 0), 0.0f);
    EXPECT_EQ(t.suspensions[i]->restLength, 0.75);
  }
  // The middle mounts lie within rounding of the hull's centre.
  EXPECT_LT(std::fabs(t.suspensionNodes[3]->getPosition().Z), 1e-7f);
  EXPECT_LT(std::fabs(t.suspensionNodes[10]->getPosition().Z), 1e-7f);

  EXPECT_TRUE(t.paused);
  EXPECT_EQ(t.engine.getGear(), 1);

  // Mesh nodes are unlit and textured; a missing mesh leaves an empty node.
  irr::video::IVideoDriver* driver = s.device->getVideoDriver();
  const std::pair<ISceneNode*, const char*> meshNodes[] = {{t.chassisNode, "kamo.jpg"},
                                                           {t.trackNodes[1], "rust3.jpg"},
                                                           {t.wheelNodes[13], "metalox.jpg"},
                                                           {t.turret.turretNode, "kamo.jpg"},
                                                           {t.turret.canonNode, "kamo.jpg"}};
  for (const auto& [node, texture] : meshNodes) {
    if (node->getType() == irr::scene::ESNT_ANIMATED_MESH) {
      EXPECT_FALSE(node->getMaterial(0).getFlag(irr::video::EMF_LIGHTING));
      if (withAssets) {
        EXPECT_EQ(node->getMaterial(0).getTexture(0),
                  driver->findTexture(irr::io::path("../media/tank/") + texture));
      }
    } else {
      EXPECT_FALSE(withAssets);
      EXPECT_EQ(node->getType(), irr::scene::ESNT_EMPTY);
    }
  }
  s.tank->pause();
  s.tank->accelerate(true);
  s.run(0.5f, k60Hz);
  EXPECT_GT(s.root->getPosition().Z, 4.1f);
}

INSTANTIATE_TEST_SUITE_P(MeshesPlantedOrFromMedia, TankRig, ::testing::Bool());

// ---------------------------------------------------------------------------------------
// Pause

TEST(TankPause, PausedStepsChangeNothingAndCommandsActAtTheFirstStepAfter) {
  TankScene s;
  Tank& t = *s.tank;
  t.accelerate(true);
  t.turnRight(true);
  t.turnTurretLeft(true);
  t.jump();
  const int wheel = t.jumpWheel;
  s.frame(5.0f);
  t.pause();
  t.pause();  // two pauses leave it paused
  s.frame(0.02f);
  EXPECT_EQ(t.engine.getSpeed(), 0.0);
  expectNear(s.root->getPosition(), kOrigin, 0.0f);
  expectNear(s.root->getRotation(), kOrigin, 0.0f);
  expectNear(t.chassisNode->getPosition(), kOrigin, 0.0f);
  expectNear(t.wheelNodes[0]->getPosition(), vector3df(0, -0.75f, 0), 0.0f);
  EXPECT_EQ(t.turret.traverseRate, 0.0f);
  EXPECT_EQ(t.suspensions[0]->lastLength, 0.0);
  EXPECT_EQ(t.jumpWheel, wheel);

  t.pause();
  s.frame(0.02f);
  EXPECT_GT(t.engine.getSpeed(), 0.0);
  EXPECT_GT(t.angularVelocity.Y, 0.0f);
  EXPECT_GT(t.turret.traverseRate, 0.0f);
  EXPECT_EQ(t.jumpWheel, -1);
  // Every mount reads 1.0 against a remembered 0: stiffness and damping pull the hull
  // down, the load and the kick push it up.
  const float springs = 14.0f * (-62500.0f - 1.0f / 0.02f * 20000.0f);  // N
  EXPECT_NEAR(t.chassisVelocity.Y, (springs + 589200.0f + 1.0e8f) / 60000.0f * 0.02f, kVelocityTol);
}

// ---------------------------------------------------------------------------------------
// The sprung hull

TEST(TankSuspension, HullSettlesAtTheLoadedHeightsWithoutTilt) {
  TankScene s;
  s.settle();
  s.run(5.0f, k60Hz);
  s.smgr->drawAll();
  const Tank& t = *s.tank;
  for (int i = 0; i < Tank::kWheelCount; ++i) {
    EXPECT_NEAR(s.mountHeight(i), kSettledMountHeight, kHeightTol) << i;
    EXPECT_NEAR(t.wheelNodes[i]->getPosition().Y, kSettledWheelY, kHeightTol) << i;
  }
  EXPECT_NEAR(t.chassisNode->getPosition().Y, kSettledHullY, kHeightTol);
  EXPECT_NEAR(t.chassisNode->getRotation().X, 0.0f, kTiltTol);
  EXPECT_NEAR(t.chassisNode->getRotation().Z, 0.0f, kTiltTol);
  EXPECT_NEAR(t.chassisVelocity.Y, 0.0f, kVelocityTol);
}

TEST(TankSuspension, DriveForceLiftsTheNoseAndATurnRollsTheHullOutwards) {
  TankScene s;
  s.settle();
  Tank& t = *s.tank;
  t.accelerate(true);
  s.run(0.5f, k60Hz);
  s.smgr->drawAll();
  EXPECT_GT(s.mountHeight(0), s.mountHeight(6) + 0.01f);  // front above rear
  EXPECT_GT(s.mountHeight(7), s.mountHeight(13) + 0.01f);

  t.turnRight(true);
  s.run(3.0f, k60Hz);
  s.smgr->drawAll();
  EXPECT_LT(s.mountHeight(3), s.mountHeight(10) - 0.01f);  // the outer, left, side sinks
  EXPECT_EQ(t.trackNodes[1]->getAbsolutePosition().Y, 0.6f);
}

TEST(TankSuspension, EachJumpCommandKicksOneWheelOnce) {
  TankScene s;
  s.settle();
  Tank& t = *s.tank;
  std::srand(7);
  std::rand();
  const int second = std::rand() % Tank::kWheelCount;
  std::srand(7);
  t.jump();
  t.jump();
  ASSERT_EQ(t.jumpWheel, second);  // the second command replaces the first

  const vector3df mount = t.suspensionNodes[second]->getPosition();
  s.frame(k60Hz);
  EXPECT_EQ(t.jumpWheel, -1);
  // Settled, the springs balance the load; what is left is the kick on that mount.
  EXPECT_NEAR(t.chassisVelocity.Y, 1.0e8f / 60000.0f * k60Hz, kKickTol);
  EXPECT_NEAR(t.angularVelocity.X, -1.0e8f * mount.Z / 38125.0f * k60Hz, kKickTol);
  EXPECT_NEAR(t.angularVelocity.Z, 1.0e8f * mount.X / 32720.0f * k60Hz, kKickTol);
  const float kicked = t.chassisVelocity.Y;
  s.frame(k60Hz);
  EXPECT_LT(t.chassisVelocity.Y, kicked);  // no second kick: the springs pull it back
}

// The pitch that a step leaves, starting from a settled hull tipped to `pitch`.
float pitchAfterAStep(float pitch, TankScene& s) {
  s.settle();
  s.tank->chassisNode->setRotation(vector3df(pitch, 0, 0));
  s.frame(k60Hz);
  return s.tank->chassisNode->getRotation().X;
}

TEST(TankSuspension, HullOnItsEndKeepsItsWheelsInTheWorld) {
  for (float upright : {90.0f, -90.0f, 270.0f}) {
    // Tip the hull so that the step itself brings it to the vertical, where the
    // wheels' hang along the hull axis is unbounded.
    float start = upright;
    for (int i = 0; i < 3; ++i) {
      TankScene trial;
      start -= pitchAfterAStep(start, trial) - upright;
    }
    TankScene s;
    ASSERT_NEAR(pitchAfterAStep(start, s), upright, 1e-3f);
    for (int i = 0; i < Tank::kWheelCount; ++i) {
      const float y = s.tank->wheelNodes[i]->getPosition().Y;
      ASSERT_TRUE(std::isfinite(y)) << upright;
      EXPECT_LT(std::fabs(y), s.tank->camera->getFarValue()) << upright << " deg, wheel " << i;
    }
  }
}

// ---------------------------------------------------------------------------------------
// Steering and planar motion

TEST(TankSteering, OneStepOfRightTurnInFirstGear) {
  TankScene s;
  s.tank->pause();
  s.tank->turnRight(true);
  s.frame(0.02f);
  // M.Y = 10000000 / 3 = 3333333.25 in single precision.
  EXPECT_NEAR(s.tank->angularVelocity.Y, 0.973947f, kYawRateTol);
  EXPECT_NEAR(s.root->getRotation().Y, 0.019479f, kHeadingTol);
  expectNear(s.root->getPosition(), kOrigin, 0.0f);  // on the spot
}

TEST(TankSteering, TurnsOnTheSpotAtEachGearsRateAndBothFlagsCancel) {
  TankScene s;
  Tank& t = *s.tank;
  t.pause();
  for (int i = 0; i < 3; ++i) t.setGearDown();
  const float steadyRate[] = {15, 10, 48, 10, 15, 24, 28};  // deg/s, gears -2..4
  for (int gear = -2; gear <= 4; ++gear) {
    ASSERT_EQ(t.engine.getGear(), gear);
    t.turnLeft(gear < 0);  // left mirrors right
    t.turnRight(gear >= 0);
    s.run(3.0f, 0.02f);
    const float expected = gear < 0 ? -steadyRate[gear + 2] : steadyRate[gear + 2];
    EXPECT_NEAR(t.angularVelocity.Y, expected, kSteadyRateTol) << "gear " << gear;
    t.setGearUp();
  }
  expectNear(s.root->getPosition(), kOrigin, 0.0f);

  t.turnLeft(true);  // with right still held: no torque, the rate decays
  const float before = t.angularVelocity.Y;
  s.frame(0.02f);
  EXPECT_NEAR(t.angularVelocity.Y, before * (1.0f - 1.0e6f * 0.02f / (3.0f * 68450.0f)),
              kSteadyRateTol);
  s.run(4.0f, 0.02f);  // about 20 time constants of 0.20535 s
  EXPECT_NEAR(t.angularVelocity.Y, 0.0f, kSteadyRateTol);
}

TEST(TankPlanar, AdvancesAlongTheHeadingAtTheRoadSpeed) {
  const struct {
    float heading;  // deg
    double speed;   // m/s
    float dt;       // s
  } cases[] = {{30, 10, 0.03f}, {0, 10, 0.02f}, {90, 5, 0.02f}, {-135, 3, 0.03f}, {30, -4, 0.02f}};
  for (const auto& c : cases) {
    TankScene s;
    Tank& t = *s.tank;
    t.pause();
    t.engine = engine::Engine();  // neutral: the speed only coasts down
    t.engine.speed = c.speed;
    s.root->setRotation(vector3df(0, c.heading, 0));
    s.frame(c.dt);
    const double v = t.engine.getSpeed() * c.dt;
    const double psi = c.heading * kPi / 180.0;
    const vector3df moved = s.root->getPosition();
    SCOPED_TRACE(c.heading);
    expectNear(moved, vector3df(std::sin(psi) * v, 0, std::cos(psi) * v), kPositionTol);
    expectNear(t.camera->getTarget(), moved, 0.0f);
  }
  // Heading 30 deg, 10 m/s, 0.1 s: three sub-steps while the engine coasts down 0.7 mm/s.
  TankScene s;
  s.tank->pause();
  s.tank->engine = engine::Engine();
  s.tank->engine.speed = 10.0;
  s.root->setRotation(vector3df(0, 30, 0));
  s.frame(0.1f);
  expectNear(s.root->getPosition(), vector3df(0.5f, 0, 0.866025f), 1e-4f);
}

TEST(TankPlanar, CrossingFourHundredSetsTheTankBackFourHundred) {
  const struct {
    float x, z, wrappedX, wrappedZ;  // m
  } cases[] = {{400.0f, 400.0f, 400.0f, 400.0f},
               {400.5f, 10.0f, 0.5f, 10.0f},
               {-400.5f, 400.5f, -0.5f, 0.5f},
               {-400.0f, -400.5f, -400.0f, -0.5f}};
  for (const auto& c : cases) {
    TankScene s;
    s.tank->pause();
    s.root->setPosition(vector3df(c.x, 0, c.z));
    s.frame(0.02f);
    expectNear(s.root->getPosition(), vector3df(c.wrappedX, 0, c.wrappedZ), kPositionTol);
  }
}

// ---------------------------------------------------------------------------------------
// Reset and camera

TEST(TankReset, BringsTheTankHomeInNeutralAndKeepsEverythingElse) {
  TankScene s;
  Tank& t = *s.tank;
  t.pause();
  t.accelerate(true);
  t.turnRight(true);
  t.turnTurretLeft(true);
  s.run(2.0f, k60Hz);
  t.jump();
  t.rotateCamera(10, 20);
  const int wheel = t.jumpWheel;
  const float turretYaw = t.turret.turretNode->getRotation().Y;
  const double spring = t.suspensions[5]->lastLength;
  const vector3df wheelPosition = t.wheelNodes[5]->getPosition();
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
  // Untouched: flags, pending jump, turret, springs' memory, wheels, camera.
  EXPECT_FALSE(t.paused);
  EXPECT_EQ(t.jumpWheel, wheel);
  EXPECT_TRUE(t.accelerating && t.turningRight);
  EXPECT_EQ(t.turret.turretNode->getRotation().Y, turretYaw);
  EXPECT_EQ(t.suspensions[5]->lastLength, spring);
  expectNear(t.wheelNodes[5]->getPosition(), wheelPosition, 0.0f);
  expectNear(t.cameraPivot->getRotation(), vector3df(10, 20, 0), 0.0f);
  expectNear(t.camera->getTarget(), target, 0.0f);

  // Throttle still held, but neutral: the tank stays until it is put in gear.
  t.turnRight(false);
  s.run(0.5f, k60Hz);
  EXPECT_EQ(s.root->getPosition().Z, 0.0f);
  t.setGearUp();
  s.run(0.5f, k60Hz);
  EXPECT_GT(s.root->getPosition().Z, 0.1f);

  // Reset while paused: the camera looks at the old place until a step runs.
  t.pause();
  const vector3df was = s.root->getPosition();
  t.reset();
  s.frame(k60Hz);
  expectNear(t.camera->getTarget(), was, 0.0f);
  t.pause();
  s.frame(k60Hz);
  expectNear(t.camera->getTarget(), kOrigin, 0.0f);
}

TEST(TankCamera, SwingsRoundTheHullTenMetresOut) {
  TankScene s;
  Tank& t = *s.tank;
  auto cameraFromHull = [&] {
    s.smgr->drawAll();
    return t.camera->getAbsolutePosition() - t.chassisNode->getAbsolutePosition();
  };
  t.rotateCamera(0, 0);
  const vector3df behind = cameraFromHull();
  expectNear(behind, vector3df(0, 0, -10), kPositionTol);
  t.rotateCamera(0, 180);
  expectNear(cameraFromHull(), vector3df(0, 0, 10), kPositionTol);
  t.rotateCamera(300, 500);  // absolute angles, no clamp: still ten metres out
  EXPECT_NEAR(cameraFromHull().getLength(), 10.0f, kPositionTol);
  t.rotateCamera(0, 0);
  expectNear(cameraFromHull(), behind, kPositionTol);
}

// ---------------------------------------------------------------------------------------
// Long frames

TEST(TankLongSteps, AFrameLongerThanAThirtiethRunsAsEqualSubSteps) {
  const struct {
    float frame;  // s
    int parts;
  } cases[] = {{1.0f / 30.0f, 1}, {0.05f, 2}, {0.1f, 3}, {0.5f, 15}};
  for (const auto& c : cases) {
    TankScene s;
    s.tank->pause();
    s.tank->turnTurretRight(true);
    s.frame(c.frame);
    // The turret is stepped exactly as often, by exactly as much.
    turret::Turret reference(s.device, s.smgr->addEmptySceneNode());
    reference.rotateRight(true);
    for (int i = 0; i < c.parts; ++i) reference.calculate(c.frame / static_cast<float>(c.parts));
    EXPECT_EQ(s.tank->turret.traverseRate, reference.traverseRate) << "frame " << c.frame;
  }
}

TEST(TankLongSteps, TwoFramesPerSecondForAMinuteStayOnTheSprings) {
  constexpr float kMountBand = 0.1f;  // m around the settled height
  constexpr float kMaxTilt = 5.0f;    // deg
  TankScene s;
  Tank& t = *s.tank;
  t.pause();
  t.accelerate(true);
  t.turnRight(true);
  t.turnTurretRight(true);
  for (int frame = 0; frame < 120; ++frame) {
    s.frame(0.5f);
    ASSERT_TRUE(finite(s.root->getPosition()) && finite(s.root->getRotation())) << frame;
    ASSERT_TRUE(finite(t.chassisNode->getPosition()) && finite(t.chassisNode->getRotation()));
    ASSERT_TRUE(finite(t.angularVelocity) && finite(t.chassisVelocity)) << frame;
    ASSERT_TRUE(std::isfinite(t.turret.traverseRate)) << frame;
    if (frame < 4) continue;  // the first drop from the built height
    for (int i = 0; i < Tank::kWheelCount; ++i) {
      ASSERT_TRUE(std::isfinite(t.wheelNodes[i]->getPosition().Y));
      ASSERT_NEAR(s.mountHeight(i), kSettledMountHeight, kMountBand) << "frame " << frame;
    }
    ASSERT_LT(std::fabs(t.chassisNode->getRotation().X), kMaxTilt) << frame;
    ASSERT_LT(std::fabs(t.chassisNode->getRotation().Z), kMaxTilt) << frame;
  }
  EXPECT_NEAR(t.turret.traverseRate, -56.0f, kSteadyRateTol);
  EXPECT_NEAR(t.angularVelocity.Y, 10.0f, kSteadyRateTol);
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
  t.pause();
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
