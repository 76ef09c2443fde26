// The soak: a tank on the null device driven through the program's own receiver by one
// random command every step, stepped by a random frame length (now and then by a step of
// no length, of negative length or not finite), checked every step for NaN and infinity;
// then left to settle, when it must rest as a fresh tank does.
//   ferrox_soak [steps, default 1000000] [GoogleTest flags]
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <random>

#include "support.h"

namespace {

long steps = 1000000;

constexpr unsigned kSeed = 20240;
constexpr float kShortestFrame = 0.001f;  // s
constexpr float kLongestFrame = 1.0f;     // s
constexpr int kBadStepOdds = 64;          // one step in this many is a bad one
constexpr float kBrakeSeconds = 60.0f;    // s: the brake stops any speed the soak left
constexpr float kRestSeconds = 20.0f;     // s: then the hull comes to rest
constexpr float kRestHullY = -0.081657f;  // m: mounts 0.75 + 589200 / (14 x 250000) up
constexpr float kRestHeightTol = 1e-4f;   // m
constexpr float kRestTiltTol = 1e-2f;     // deg, pitch and roll, either side of a full turn

// Every key of the key table that commands the tank (Escape only ends the program), and
// steps no frame loop makes but any caller could: each must leave the tank as it is.
const irr::EKEY_CODE kTableKeys[] = {irr::KEY_KEY_W, irr::KEY_KEY_S, irr::KEY_KEY_A, irr::KEY_KEY_D,
                                     irr::KEY_KEY_Q, irr::KEY_KEY_E, irr::KEY_KEY_J, irr::KEY_KEY_L,
                                     irr::KEY_KEY_I, irr::KEY_KEY_K, irr::KEY_KEY_V, irr::KEY_SPACE,
                                     irr::KEY_KEY_C, irr::KEY_KEY_R};
constexpr float kInfinity = std::numeric_limits<float>::infinity();
const float kBadSteps[] = {0.0f,      -support::k60Hz, std::nanf(""),
                           kInfinity, -kInfinity,      std::numeric_limits<float>::denorm_min()};
constexpr int kKeyCount = std::size(kTableKeys);
constexpr int kBadStepCount = std::size(kBadSteps);

TEST(Soak, RandomCommandsAndFrameLengthsKeepEveryValueFiniteAndTheHullComesToRest) {
  support::DrivenScene scene(false);
  Tank& soaked = *scene.tank;
  std::srand(kSeed);  // the jump's wheel, seeded from the clock by the tank
  std::mt19937 random(kSeed);
  std::uniform_int_distribution<int> command(0, 2 * kKeyCount);        // down, up or the mouse
  std::uniform_int_distribution<int> mouseX(0, 1023), mouseY(0, 767);  // px, the window
  std::uniform_real_distribution<float> frame(kShortestFrame, kLongestFrame);
  std::uniform_int_distribution<int> badStep(0, kBadStepOdds * kBadStepCount - 1);

  for (long step = 0; step < steps; ++step) {
    const int c = command(random);
    if (c == 2 * kKeyCount) {
      const int x = mouseX(random);
      scene.point(x, mouseY(random));
    } else {
      scene.key(kTableKeys[c / 2], c % 2 == 0);
    }
    scene.smgr->drawAll();  // as the frame loop does: it refreshes the heights the springs read
    const int bad = badStep(random);
    soaked.calculatePosition(bad < kBadStepCount ? kBadSteps[bad] : frame(random));
    ASSERT_TRUE(support::finiteRig(soaked.rootNode)) << "not finite after step " << step;
  }

  // Let go of everything, run, brake to a stop, then stand.
  for (irr::EKEY_CODE key : kTableKeys) scene.key(key, false);
  if (soaked.paused) soaked.pause();
  scene.key(irr::KEY_KEY_S, true);
  scene.run(kBrakeSeconds, support::k60Hz);
  scene.key(irr::KEY_KEY_S, false);
  scene.run(kRestSeconds, support::k60Hz);
  ASSERT_TRUE(support::finiteRig(soaked.rootNode));
  const irr::core::vector3df tilt = soaked.chassisNode->getRotation();
  EXPECT_NEAR(soaked.chassisNode->getPosition().Y, kRestHullY, kRestHeightTol);
  EXPECT_NEAR(std::remainder(tilt.X, 360.0f), 0.0f, kRestTiltTol);
  EXPECT_NEAR(std::remainder(tilt.Z, 360.0f), 0.0f, kRestTiltTol);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc > 1) steps = std::atol(argv[1]);
  return RUN_ALL_TESTS();
}
