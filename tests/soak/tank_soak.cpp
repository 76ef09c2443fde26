// The soak: a tank on the null device driven through the program's own receiver by one
// random command every step, stepped by a random frame length (now and then by a step of
// no length, of negative length or not finite), checked every step for NaN and infinity;
// then left to settle, when it must rest as a fresh tank does.
//   ferrox_soak [steps, default 1000000] [GoogleTest flags]
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "Tank.h"
#include "main.h"
#include "support.h"

namespace {

using irr::core::vector3df;
using support::firstNonFinite;
using support::keyEvent;
using support::mouseEvent;

long steps = 1000000;

constexpr unsigned kSeed = 20240;
constexpr float kShortestFrame = 0.001f;  // s
constexpr float kLongestFrame = 1.0f;     // s
constexpr int kWindowWidth = 1024;        // px, where the mouse can be
constexpr int kWindowHeight = 768;        // px
constexpr int kBadStepOdds = 64;          // one step in this many is a bad one
constexpr float kBrakeSeconds = 60.0f;    // s: the brake stops any speed the soak left
constexpr float kRestSeconds = 20.0f;     // s: then the hull comes to rest

constexpr float kRestHullY = -0.081657f;  // m: mounts 0.75 + 589200 / (14 x 250000) up
constexpr float kRestHeightTol = 1e-4f;   // m
constexpr float kRestTiltTol = 1e-2f;     // deg, pitch and roll
constexpr float kFullTurn = 360.0f;       // deg

// Every key of the key table that commands the tank (Escape only ends the program).
const irr::EKEY_CODE kTableKeys[] = {
    irr::KEY_KEY_W, irr::KEY_KEY_S, irr::KEY_KEY_A, irr::KEY_KEY_D, irr::KEY_KEY_Q,
    irr::KEY_KEY_E, irr::KEY_KEY_J, irr::KEY_KEY_L, irr::KEY_KEY_I, irr::KEY_KEY_K,
    irr::KEY_KEY_V, irr::KEY_SPACE, irr::KEY_KEY_C, irr::KEY_KEY_R,
};
constexpr int kKeyCount = sizeof kTableKeys / sizeof kTableKeys[0];

// Steps no frame loop makes but any caller could: each must leave the tank as it is.
const float kBadSteps[] = {0.0f,
                           -support::k60Hz,
                           std::numeric_limits<float>::quiet_NaN(),
                           std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::denorm_min()};
constexpr int kBadStepCount = sizeof kBadSteps / sizeof kBadSteps[0];

// An angle in degrees, turned into (-180, 180].
float normalised(float degrees) {
  float a = std::fmod(degrees, kFullTurn);
  if (a > kFullTurn / 2) a -= kFullTurn;
  if (a <= -kFullTurn / 2) a += kFullTurn;
  return a;
}

TEST(Soak, RandomCommandsAndFrameLengthsKeepEveryValueFiniteAndTheHullComesToRest) {
  support::TankScene scene(false);
  Tank& soaked = *scene.tank;
  tank = &soaked;     // the receiver drives the program's global tank
  std::srand(kSeed);  // the jump's wheel, seeded from the clock by the tank
  MyEventReceiver receiver;

  std::mt19937 random(kSeed);
  std::uniform_int_distribution<int> command(0, 2 * kKeyCount);  // down, up or the mouse
  std::uniform_int_distribution<int> mouseX(0, kWindowWidth - 1);
  std::uniform_int_distribution<int> mouseY(0, kWindowHeight - 1);
  std::uniform_real_distribution<float> frame(kShortestFrame, kLongestFrame);
  std::uniform_int_distribution<int> badStep(0, kBadStepOdds * kBadStepCount - 1);

  long failedAt = -1;
  std::string what;
  float highest = 0.0f, steepest = 0.0f;  // m and deg: how far the soak threw the hull
  for (long step = 0; step < steps && failedAt < 0; ++step) {
    const int c = command(random);
    if (c == 2 * kKeyCount) {
      const int x = mouseX(random);
      receiver.OnEvent(mouseEvent(x, mouseY(random)));
    } else {
      receiver.OnEvent(keyEvent(kTableKeys[c / 2], c % 2 == 0));
    }
    scene.smgr->drawAll();  // as the frame loop does: it refreshes the heights the springs read
    const int bad = badStep(random);
    soaked.calculatePosition(bad < kBadStepCount ? kBadSteps[bad] : frame(random));
    what = firstNonFinite(soaked);
    if (!what.empty()) failedAt = step;
    const vector3df tilt = soaked.chassisNode->getRotation();
    highest = std::max(highest, soaked.chassisNode->getPosition().Y);
    steepest = std::max({steepest, std::fabs(normalised(tilt.X)), std::fabs(normalised(tilt.Z))});
  }
  ASSERT_EQ(failedAt, -1) << what << " is not finite after step " << failedAt;
  std::printf("%ld steps; hull thrown up to %.1f m, tilted up to %.1f deg\n", steps, highest,
              steepest);

  // Let go of everything, run, brake to a stop, then stand.
  for (irr::EKEY_CODE key : kTableKeys) receiver.OnEvent(keyEvent(key, false));
  if (soaked.paused) soaked.pause();
  receiver.OnEvent(keyEvent(irr::KEY_KEY_S, true));
  scene.run(kBrakeSeconds, support::k60Hz);
  receiver.OnEvent(keyEvent(irr::KEY_KEY_S, false));
  scene.run(kRestSeconds, support::k60Hz);
  ASSERT_EQ(firstNonFinite(soaked), "");
  const vector3df hull = soaked.chassisNode->getPosition();
  const vector3df tilt = soaked.chassisNode->getRotation();
  EXPECT_NEAR(hull.Y, kRestHullY, kRestHeightTol);
  EXPECT_NEAR(normalised(tilt.X), 0.0f, kRestTiltTol);
  EXPECT_NEAR(normalised(tilt.Z), 0.0f, kRestTiltTol);

  tank = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc > 1) steps = std::atol(argv[1]);
  return RUN_ALL_TESTS();
}
