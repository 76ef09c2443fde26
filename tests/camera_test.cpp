// The chase camera as the cursor turns it: where the game starts it, one degree a pixel,
// and against the ground: through jumps on every wheel, while driving and turning, for every
// cursor row, it stays above the ground plane, and it leaves the cursor's pitch only where
// that pitch would take it lower, and then only as far as it must.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <cmath>

#include "Tank.h"
#include "main.h"
#include "support.h"

namespace {

using support::mouseEvent;

constexpr int kRows = 768;           // px, the window's height
constexpr int kColumns = 1024;       // px, the window's width
constexpr int kJumpFrames = 300;     // 5 s at 60 Hz: the jump and its rocking
constexpr float kHeightTol = 1e-3f;  // m
constexpr float kPitchTol = 1e-3f;   // deg

class ChaseCamera : public ::testing::Test {
 protected:
  // The camera's height as the next frame draws it, for the cursor at (column, row).
  float heightFor(int column, int row) {
    s.point(column, row);
    return heightNow();
  }
  float heightNow() {
    s.tank->cameraPivot->updateAbsolutePosition();
    s.tank->camera->updateAbsolutePosition();
    return s.tank->camera->getAbsolutePosition().Y;
  }

  support::DrivenScene s;
};

TEST_F(ChaseCamera, TheStartCursorPutsItBehindAndAboveTheTank) {
  s.settle();
  s.receiver.placeCursor(s.device->getCursorControl());
  s.smgr->drawAll();
  irr::core::vector3df eye = s.tank->camera->getAbsolutePosition();
  irr::core::matrix4 worldToHull;
  ASSERT_TRUE(s.tank->chassisNode->getAbsoluteTransformation().getInverse(worldToHull));
  worldToHull.transformVect(eye);
  EXPECT_LT(eye.Z, -8.0f) << "behind the hull";
  EXPECT_NEAR(eye.X, 0.0f, 0.5f);
  EXPECT_GT(eye.Y, 2.0f);
  EXPECT_LT(eye.Y, 6.0f);
}

// On a settled tank one pixel down turns it by one degree at every row, folding back short
// of the horizon instead of jumping; the column is its yaw; clicks and the wheel do nothing.
TEST_F(ChaseCamera, EveryCursorRowTurnsItOneDegreeAPixel) {
  s.settle();
  float lastPitch = 0.0f;
  for (int row = 0; row < kRows; ++row) {
    const int column = (row * 13) % kColumns;
    s.point(column, row);
    s.smgr->drawAll();
    const irr::core::vector3df angles = s.tank->cameraPivot->getRotation();
    ASSERT_EQ(angles.Y, static_cast<float>(column));
    if (row > 0) {
      ASSERT_NEAR(std::fabs(angles.X - lastPitch), 1.0f, kPitchTol) << "row " << row;
    }
    lastPitch = angles.X;
  }
  s.point(120, 45);
  s.receiver.OnEvent(mouseEvent(300, 300, irr::EMIE_LMOUSE_PRESSED_DOWN));
  s.receiver.OnEvent(mouseEvent(300, 300, irr::EMIE_MOUSE_WHEEL));
  EXPECT_EQ(s.tank->cameraPivot->getRotation(), irr::core::vector3df(45, 120, 0));
}

TEST_F(ChaseCamera, StaysAboveTheGroundThroughJumpsOnEveryWheelAtEveryCursorRow) {
  Tank& t = *s.tank;
  s.receiver.placeCursor(nullptr);
  s.settle();
  int moved = 0;
  float steepest = 0.0f;
  for (int wheel = 0; wheel < Tank::kWheelCount; ++wheel) {
    SCOPED_TRACE(wheel);
    t.jumpWheel = wheel;
    t.accelerate(wheel % 2 == 0);  // on the move, pitching under the throttle ...
    t.turnRight(wheel % 3 == 0);   // ... and rolling in a turn
    for (int frame = 0; frame < kJumpFrames; ++frame) {
      s.smgr->drawAll();  // the hull where the last step left it
      ASSERT_GE(heightNow(), Tank::kCameraClearance - kHeightTol) << "after step " << frame;
      steepest = std::max({steepest, std::fabs(t.chassisNode->getRotation().X),
                           std::fabs(t.chassisNode->getRotation().Z)});
      for (int row = 0; row < kRows; ++row) {
        const int column = (row * 13 + frame * 37 + wheel * 101) % kColumns;
        const float height = heightFor(column, row);
        ASSERT_GE(height, Tank::kCameraClearance - kHeightTol) << frame << ": " << row;
        const float pitch = t.cameraPivot->getRotation().X;
        if (std::fabs(std::remainder(pitch - t.cameraPitch, 360.0f)) > kPitchTol) {
          ++moved;  // only as far as the clearance
          ASSERT_NEAR(height, Tank::kCameraClearance, kHeightTol) << frame << ": " << row;
        }
      }
      s.point(frame % kColumns, (frame * 5) % kRows);
      t.calculatePosition(support::k60Hz);
    }
  }
  // The jumps tilt the hull far enough that the cursor's pitch alone would have taken the
  // camera under the ground at some rows.
  EXPECT_GT(moved, 0);
  EXPECT_GT(steepest, 10.0f);
}

// A hull far below the ground, as no step leaves it: no pitch reaches the clearance, so the
// camera takes the highest one and is lifted to the clearance itself.
TEST_F(ChaseCamera, IsLiftedWhereNoPitchReachesTheClearance) {
  constexpr float kDepth = -20.0f;  // m, twice the camera's distance from the hull
  s.root->setPosition(irr::core::vector3df(0, kDepth, 0));
  for (int row = 0; row < kRows; row += 7) {
    SCOPED_TRACE(row);
    s.smgr->drawAll();
    EXPECT_NEAR(heightFor((row * 13) % kColumns, row), Tank::kCameraClearance, kHeightTol);
    EXPECT_NEAR(s.tank->cameraPivot->getRotation().X, 90.0f, kPitchTol);  // the top
  }
}

}  // namespace
