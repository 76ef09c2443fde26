// The chase camera against the ground: through jumps on every wheel, while driving and
// turning, for every cursor row, it stays above the ground plane, and it leaves the cursor's
// pitch only where that pitch would take it lower, and then only as far as it must.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <cmath>

#include "Tank.h"
#include "main.h"
#include "support.h"

namespace {

using support::k60Hz;
using support::mouseEvent;

constexpr int kRows = 768;                  // px, the window's height
constexpr int kColumns = 1024;              // px, the window's width
constexpr int kJumpFrames = 300;            // 5 s at 60 Hz: the jump and its rocking
constexpr float kHeightTol = 1e-3f;         // m
constexpr float kPitchTol = 1e-3f;          // deg
constexpr float kLowestShownClearance = 0;  // m: the ground itself

class ChaseCamera : public ::testing::Test {
 protected:
  void SetUp() override {
    tank = scene.tank.get();
    quit = false;
  }
  void TearDown() override { tank = nullptr; }

  // The camera's height as the next frame draws it, for the cursor at (column, row).
  float heightFor(int column, int row) {
    receiver.OnEvent(mouseEvent(column, row));
    return heightNow();
  }
  float heightNow() {
    scene.tank->cameraPivot->updateAbsolutePosition();
    scene.tank->camera->updateAbsolutePosition();
    return scene.tank->camera->getAbsolutePosition().Y;
  }

  support::TankScene scene;
  MyEventReceiver receiver;
};

TEST_F(ChaseCamera, StaysAboveTheGroundThroughJumpsOnEveryWheelAtEveryCursorRow) {
  Tank& t = *scene.tank;
  receiver.placeCursor(nullptr);
  scene.settle();
  int checks = 0, moved = 0;
  float lowest = 1e9f, steepest = 0.0f;
  for (int wheel = 0; wheel < Tank::kWheelCount; ++wheel) {
    SCOPED_TRACE(wheel);
    t.jumpWheel = wheel;
    t.accelerate(wheel % 2 == 0);  // on the move, pitching under the throttle ...
    t.turnRight(wheel % 3 == 0);   // ... and rolling in a turn
    for (int frame = 0; frame < kJumpFrames; ++frame) {
      scene.smgr->drawAll();  // the hull where the last step left it
      const float afterStep = heightNow();
      ASSERT_GE(afterStep, Tank::kCameraClearance - kHeightTol)
          << "after the step, frame " << frame;
      steepest = std::max({steepest, std::fabs(t.chassisNode->getRotation().X),
                           std::fabs(t.chassisNode->getRotation().Z)});
      for (int row = 0; row < kRows; ++row) {
        const int column = (row * 13 + frame * 37 + wheel * 101) % kColumns;
        const float height = heightFor(column, row);
        ++checks;
        lowest = std::min(lowest, height);
        ASSERT_GE(height, Tank::kCameraClearance - kHeightTol)
            << "frame " << frame << ", cursor " << column << "," << row;
        const float pitch = t.cameraPivot->getRotation().X;
        if (std::fabs(std::remainder(pitch - t.cameraPitch, 360.0f)) > kPitchTol) {
          ++moved;  // only as far as the clearance
          ASSERT_NEAR(height, Tank::kCameraClearance, kHeightTol)
              << "frame " << frame << ", cursor " << column << "," << row;
        }
        ASSERT_FLOAT_EQ(t.cameraPivot->getRotation().Y, static_cast<float>(column));
      }
      receiver.OnEvent(mouseEvent(frame % kColumns, (frame * 5) % kRows));
      t.calculatePosition(k60Hz);
    }
  }
  // The jumps tilt the hull far enough that the cursor's pitch alone would have taken the
  // camera under the ground at some rows.
  EXPECT_GT(moved, 0);
  EXPECT_GT(steepest, 10.0f);
  EXPECT_GE(lowest, kLowestShownClearance + Tank::kCameraClearance - kHeightTol);
  std::printf(
      "%d cursor positions, %d of them moved; lowest camera %.2f m, steepest tilt %.0f deg\n",
      checks, moved, lowest, steepest);
}

// A hull far below the ground, as no step leaves it: no pitch reaches the clearance, so the
// camera takes the highest one and is lifted to the clearance itself.
TEST_F(ChaseCamera, IsLiftedWhereNoPitchReachesTheClearance) {
  constexpr float kDepth = -20.0f;  // m, twice the camera's distance from the hull
  scene.root->setPosition(irr::core::vector3df(0, kDepth, 0));
  for (int row = 0; row < kRows; row += 7) {
    SCOPED_TRACE(row);
    scene.smgr->drawAll();
    EXPECT_NEAR(heightFor((row * 13) % kColumns, row), Tank::kCameraClearance, kHeightTol);
    EXPECT_NEAR(scene.tank->cameraPivot->getRotation().X, 90.0f, kPitchTol);  // the top
  }
}

}  // namespace
