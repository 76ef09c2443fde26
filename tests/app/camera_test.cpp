// The chase camera as the cursor turns it: on a settled tank every cursor row is its pitch,
// folding back short of the horizon; and through jumps on every wheel, while driving and
// turning, for every cursor row, it stays above the ground plane, leaving the cursor's pitch
// only where that pitch would take it lower, and then only as far as it must, or lifted where
// no pitch reaches.
#include <gtest/gtest.h>

#include <cmath>

#include "support.h"

namespace {

constexpr int kRows = 768;           // px, the window's height
constexpr int kColumns = 1024;       // px, the window's width
constexpr int kJumpFrames = 300;     // 5 s at 60 Hz: the jump and its rocking
constexpr float kHeightTol = 1e-3f;  // m
constexpr float kPitchTol = 1e-3f;   // deg

// The camera's height as the next frame draws it, for the cursor at (column, row).
float heightFor(support::DrivenScene& s, int column, int row) {
  s.point(column, row);
  s.tank->cameraPivot->updateAbsolutePosition();
  s.tank->camera->updateAbsolutePosition();
  return s.tank->camera->getAbsolutePosition().Y;
}

TEST(ChaseCamera, FollowsTheCursorAndStaysAboveTheGroundThroughJumpsOnEveryWheel) {
  support::DrivenScene s;
  Tank& t = *s.tank;
  s.settle();
  int moved = 0;
  for (int wheel = 0; wheel < Tank::kWheelCount; ++wheel) {
    t.jumpWheel = wheel;
    t.accelerate(wheel % 2 == 0);  // on the move, pitching under the throttle ...
    t.turnRight(wheel % 3 == 0);   // ... and rolling in a turn
    for (int frame = 0; frame < kJumpFrames; ++frame) {
      s.smgr->drawAll();  // the hull where the last step left it
      ASSERT_GE(t.camera->getAbsolutePosition().Y, Tank::kCameraClearance - kHeightTol)
          << "after step " << frame << " of wheel " << wheel;
      const bool settled = wheel == 0 && frame == 0;  // before the first jump
      for (int row = 0; row < kRows; ++row) {
        const int column = (row * 13 + frame * 37 + wheel * 101) % kColumns;
        const float height = heightFor(s, column, row);
        const irr::core::vector3df angles = t.cameraPivot->getRotation();
        const bool off = std::fabs(std::remainder(angles.X - t.cameraPitch, 360.0f)) > kPitchTol;
        ASSERT_GE(height, Tank::kCameraClearance - kHeightTol) << frame << ": " << row;
        moved += off;  // and then only as far as the clearance:
        ASSERT_TRUE(!off || std::fabs(height - Tank::kCameraClearance) <= kHeightTol)
            << frame << ": " << row;
        ASSERT_FALSE(settled && off) << "row " << row;
      }
      s.point(frame % kColumns, (frame * 5) % kRows);
      t.calculatePosition(support::k60Hz);
    }
  }
  // The jumps tilt the hull far enough that the cursor's pitch alone would have taken the
  // camera under the ground at some rows.
  EXPECT_GT(moved, 0);

  // A hull far below the ground, as no step leaves it: no pitch reaches the clearance, so
  // the camera takes the highest one and is lifted to the clearance itself.
  t.reset();                                             // level
  s.root->setPosition(irr::core::vector3df(0, -20, 0));  // m, twice the camera's reach
  for (int row = 0; row < kRows; row += 7) {
    s.smgr->drawAll();
    EXPECT_NEAR(heightFor(s, (row * 13) % kColumns, row), Tank::kCameraClearance, kHeightTol);
  }
}

}  // namespace
