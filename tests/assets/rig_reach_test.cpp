// The rig as the meshes' reach assumes it (mesh3ds.cpp): the camera never nearer than
// kCameraOrbit to the hull's origin, and each part's pivot no farther from that origin than
// its role's `fromHull`, the gun's pivot where the gun mesh's frame puts it, and no part
// drawn larger than its role's `scale`; on a settled tank driven, turned, its turret turned
// and its gun raised and lowered, with the cursor swept over the window. Jumps, which throw
// the hull off its running gear, are left to the turret and gun, which ride on the hull.
#include <gtest/gtest.h>

#include <algorithm>

#include "assets/mesh3ds.h"
#include "support.h"

namespace {

using assets::MeshRole;
using irr::core::vector3df;

constexpr int kFrames = 900;         // 15 s at 60 Hz
constexpr float kTolerance = 1e-3f;  // m

float scaleOf(irr::scene::ISceneNode* node) {
  const vector3df s = node->getAbsoluteTransformation().getScale();
  return std::max({s.X, s.Y, s.Z});
}

TEST(RigReach, PartsAndCameraStayWhereTheMeshesReachAssumes) {
  support::DrivenScene s;
  Tank& t = *s.tank;
  s.settle();
  const assets::MeshLimits turret = assets::limitsOf(MeshRole::Turret);
  const assets::MeshLimits gun = assets::limitsOf(MeshRole::Gun);
  const assets::MeshLimits track = assets::limitsOf(MeshRole::Track);
  const assets::MeshLimits wheel = assets::limitsOf(MeshRole::Wheel);
  // The gun mesh hangs from its pivot; that pivot is the role's, in the mesh's own frame.
  EXPECT_TRUE(t.turret.canonNode->getPosition().equals(
      vector3df(-gun.pivot.x, -gun.pivot.y, -gun.pivot.z), kTolerance));
  float nearest = 1e9f, farthest[4] = {0, 0, 0, 0};  // m: camera; turret, gun, track, wheel
  for (int frame = 0; frame < kFrames; ++frame) {
    const int phase = frame / 150;  // the commands change every 2.5 s
    t.accelerate(phase % 2 == 0);
    t.turnRight(phase % 3 == 1);
    t.turnTurretLeft(phase % 2 == 1);
    t.elevateTurretUpp(phase == 1 || phase == 2);
    t.elevateTurretDown(phase >= 4);
    s.point((frame * 37) % 1024, (frame * 101) % 768);
    s.frame(support::k60Hz);
    s.smgr->drawAll();  // every node where this step left it
    const vector3df hull = t.chassisNode->getAbsolutePosition();
    nearest = std::min(nearest, t.camera->getAbsolutePosition().getDistanceFrom(hull));
    farthest[0] =
        std::max(farthest[0], t.turret.turretNode->getAbsolutePosition().getDistanceFrom(hull));
    farthest[1] =
        std::max(farthest[1], t.turret.canonPivot->getAbsolutePosition().getDistanceFrom(hull));
    for (irr::scene::ISceneNode* node : t.trackNodes) {
      farthest[2] = std::max(farthest[2], node->getAbsolutePosition().getDistanceFrom(hull));
      EXPECT_LE(scaleOf(node), track.scale + kTolerance);
    }
    for (irr::scene::ISceneNode* node : t.wheelNodes)
      farthest[3] = std::max(farthest[3], node->getAbsolutePosition().getDistanceFrom(hull));
  }
  EXPECT_GE(nearest, assets::kCameraOrbit - kTolerance);
  EXPECT_LE(farthest[0], turret.fromHull + kTolerance);
  EXPECT_LE(farthest[1], gun.fromHull + kTolerance);
  EXPECT_LE(farthest[2], track.fromHull);
  EXPECT_LE(farthest[3], wheel.fromHull);
}

}  // namespace
