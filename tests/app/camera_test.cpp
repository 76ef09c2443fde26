// The chase camera as the cursor turns it: every row is its pitch wherever that pitch leaves
// the camera 2 m above the ground, and the rest fold back over the top; sweeping the rows, at
// rest and on a hull tipped as far as a jump tips it, the picture turns a little a row and
// never spins, and its horizon is level wherever it is in sight; through jumps on every
// wheel, while driving and turning, for every row, the camera stays at least 1 m above the
// ground plane, placed by each step as the cursor would place it.
#include <gtest/gtest.h>

#include <cmath>

#include "support.h"

namespace {

using irr::core::vector3df;

constexpr int kRows = 768;                 // px, the window's height
constexpr int kColumns = 1024;             // px, the window's width
constexpr int kJumpFrames = 300;           // 5 s at 60 Hz: the jump and its rocking
constexpr float kHeightTol = 1e-3f;        // m
constexpr float kPitchTol = 1e-3f;         // deg
constexpr float kMostPerRow = 3.5f;        // deg the view or its up may turn from a row to the next
constexpr float kMostPerRowTipped = 6.0f;  // deg, on a hull tipped 20-30 deg
constexpr float kLevelTol = 1e-3f;         // of the picture's right, upwards
const int kSweptColumns[] = {0, 180, 360, 517, 1023};  // px

// The camera's height for the cursor at (column, row), with the transforms the next frame
// draws.
float heightFor(support::DrivenScene& s, int column, int row) {
  s.point(column, row);
  s.tank->cameraPivot->updateAbsolutePosition();
  s.tank->camera->updateAbsolutePosition();
  return s.tank->camera->getAbsolutePosition().Y;
}

// Where the camera would stand with its pivot turned to exactly (pitch, yaw), on the hull as
// the tank's nodes now hold it.
float plainHeight(const Tank& t, float pitch, float yaw) {
  irr::core::matrix4 pivot;
  pivot.setRotationDegrees(vector3df(pitch, yaw, 0.0f));
  vector3df eye(0.0f, 0.0f, -10.0f);  // m, the camera on its pivot
  (t.rootNode->getRelativeTransformation() * t.chassisNode->getRelativeTransformation() * pivot)
      .transformVect(eye);
  return eye.Y;
}

// The picture as the engine draws it: where the view looks, its up and its right, in the
// world.
struct View {
  vector3df look, up, right;
};
View viewFor(support::DrivenScene& s, int column, int row) {
  heightFor(s, column, row);
  s.tank->camera->render();  // the view matrix, as a frame draws it
  const irr::core::matrix4& m = s.tank->camera->getViewMatrix();
  return {vector3df(m[2], m[6], m[10]), vector3df(m[1], m[5], m[9]), vector3df(m[0], m[4], m[8])};
}

float degreesBetween(vector3df a, vector3df b) {
  const double cosine = a.normalize().dotProduct(b.normalize());
  return static_cast<float>(std::acos(std::fmin(1.0, std::fmax(-1.0, cosine))) *
                            irr::core::RADTODEG64);
}

// Sweeps the rows top to bottom at `column`: the view and its up turn little from a row to
// the next, and the horizon is level wherever the picture's top edge is above it.
void sweep(support::DrivenScene& s, int column, const char* when, float most = kMostPerRow) {
  const float halfView = s.tank->camera->getFOV() / 2 * irr::core::RADTODEG;  // deg
  View last = viewFor(s, column, 0);
  for (int row = 1; row < kRows; ++row) {
    const View view = viewFor(s, column, row);
    ASSERT_LE(degreesBetween(last.look, view.look), most) << when << column << ", " << row;
    ASSERT_LE(degreesBetween(last.up, view.up), most) << when << column << ", " << row;
    const float below = -std::asin(vector3df(view.look).normalize().Y) * irr::core::RADTODEG;
    if (below < halfView) {  // deg
      ASSERT_NEAR(view.right.Y, 0.0f, kLevelTol) << when << column << ", " << row;
    }
    last = view;
  }
}

TEST(ChaseCamera, EveryRowIsItsPitchWhereTheCameraStandsTwoMetresUpAndTheRestFoldSmoothly) {
  support::DrivenScene s;
  Tank& t = *s.tank;
  s.settle();
  s.smgr->drawAll();
  for (int column : kSweptColumns) {
    int folded = 0;
    for (int row = 0; row < kRows; ++row) {
      const float height = heightFor(s, column, row);
      const float pitch = t.cameraPivot->getRotation().X;  // deg
      if (plainHeight(t, static_cast<float>(row), static_cast<float>(column)) >=
          Tank::kCameraFreeHeight) {
        ASSERT_NEAR(std::remainder(pitch - static_cast<float>(row), 360.0f), 0.0f, kPitchTol)
            << column << ", " << row;
      } else {
        ++folded;  // onto a pitch that keeps it as high
        ASSERT_GE(height, Tank::kCameraFreeHeight - kHeightTol) << column << ", " << row;
      }
    }
    // On a tank at rest the camera is below 2 m at pitches 0-12 and 168-372 degrees: rows
    // 0-12, 168-372 and 528-732 fold, the rest are their own pitch.
    EXPECT_NEAR(folded, 13 + 205 + 205, 6) << column;
    sweep(s, column, "at rest, ");
  }
}

// A hull tipped as far as a jump tips it, this way and that: the picture still rolls over
// the top, a little more a row.
TEST(ChaseCamera, TurnsSmoothlyOnATippedHull) {
  support::DrivenScene s;
  Tank& t = *s.tank;
  s.settle();
  for (const vector3df& tilt :
       {vector3df(20, 0, 30), vector3df(-20, 0, -30), vector3df(30, 0, 10)}) {
    t.chassisNode->setRotation(tilt);
    s.smgr->drawAll();
    for (int column = 0; column < 360; column += 15)
      sweep(s, column, "tipped, ", kMostPerRowTipped);
  }
}

TEST(ChaseCamera, StaysAboveTheGroundThroughJumpsOnEveryWheel) {
  support::DrivenScene s;
  Tank& t = *s.tank;
  s.settle();
  int folded = 0;
  for (int wheel = 0; wheel < Tank::kWheelCount; ++wheel) {
    t.jumpWheel = wheel;
    t.accelerate(wheel % 2 == 0);  // on the move, pitching under the throttle ...
    t.turnRight(wheel % 3 == 0);   // ... and rolling in a turn
    for (int frame = 0; frame < kJumpFrames; ++frame) {
      s.smgr->drawAll();  // the hull where the last step left it
      ASSERT_GE(t.camera->getAbsolutePosition().Y, Tank::kCameraClearance - kHeightTol)
          << "after step " << frame << " of wheel " << wheel;
      // The step placed the camera for the hull where it left it, as the cursor now would.
      const float stepped = t.cameraPivot->getRotation().X;  // deg
      t.rotateCamera(t.cameraPitch, t.cameraYaw);
      ASSERT_NEAR(std::remainder(t.cameraPivot->getRotation().X - stepped, 360.0f), 0.0f, kPitchTol)
          << "after step " << frame << " of wheel " << wheel;
      for (int row = 0; row < kRows; ++row) {
        const int column = (row * 13 + frame * 37 + wheel * 101) % kColumns;
        const float height = heightFor(s, column, row);
        ASSERT_GE(height, Tank::kCameraClearance - kHeightTol) << frame << ": " << row;
        const bool off = std::fabs(std::remainder(t.cameraPivot->getRotation().X - t.cameraPitch,
                                                  360.0f)) > kPitchTol;
        folded += off;  // only where the row's own pitch would take the camera below 2 m
        ASSERT_TRUE(!off || plainHeight(t, t.cameraPitch, t.cameraYaw) <
                                Tank::kCameraFreeHeight + kHeightTol)
            << frame << ": " << row;
      }
      s.point(frame % kColumns, (frame * 5) % kRows);
      t.calculatePosition(support::k60Hz);
    }
  }
  EXPECT_GT(folded, 0);

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
