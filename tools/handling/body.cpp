// The hull through a jump and the turret's traverse.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runs.h"
#include "support.h"

namespace handling {
namespace {

using support::TankScene;

constexpr float kBeforeKick = 0.5f;       // s of the settled hull shown before C
constexpr double kSettledHeight = 0.001;  // m from the rest height ...
constexpr double kSettledAngle = 0.1;     // ... and deg of pitch and roll ...
constexpr float kSettledFor = 1.0f;       // ... held this long: settled again
constexpr float kLongestJump = 60.0f;     // s, a bound in case it never settles

constexpr float kTraverseHeld = 1.0f;   // s with J down
constexpr float kTraverseAfter = 1.0f;  // s after J comes up

std::string wheelName(int wheel) {
  const int perSide = Tank::kWheelCount / 2;
  return std::to_string(wheel) + " (" + (wheel < perSide ? "left" : "right") + ", " +
         std::to_string(wheel % perSide + 1) + " of " + std::to_string(perSide) +
         " from the front)";
}

}  // namespace

Table jumpTable(unsigned seed) {
  TankScene scene;
  scene.settle();
  Tank& tank = *scene.tank;
  const double rest = tank.chassisNode->getPosition().Y;
  Table table{{"time_s", "height_m", "pitch_deg", "roll_deg"}, {}, {}};

  const long before = std::lround(kBeforeKick / kFrame);
  const long longest = std::lround(kLongestJump / kFrame);
  const long settledFrames = std::lround(kSettledFor / kFrame);
  long lastUnsettled = 0;
  int kicked = -1;
  for (long i = -before; i <= longest && i - lastUnsettled <= settledFrames; ++i) {
    const irr::core::vector3df height = tank.chassisNode->getPosition();
    const irr::core::vector3df tilt = tank.chassisNode->getRotation();
    table.rows.push_back({static_cast<double>(i) * kFrame, height.Y, tilt.X, tilt.Z});
    if (std::fabs(height.Y - rest) > kSettledHeight || std::fabs(tilt.X) > kSettledAngle ||
        std::fabs(tilt.Z) > kSettledAngle)
      lastUnsettled = i;
    if (i == 0) {
      std::srand(seed);
      tank.jump();
      kicked = tank.jumpWheel;
    }
    scene.frame(kFrame);
  }
  char settled[160];
  std::snprintf(settled, sizeof settled,
                "settled again (within %g m of rest and %g deg) from %.2f s on", kSettledHeight,
                kSettledAngle, static_cast<double>(lastUnsettled + 1) * kFrame);
  table.notes = {"C pressed at 0 s with rand() seeded " + std::to_string(seed) +
                     ": the jump kicked wheel " + wheelName(kicked),
                 "rest height " + std::to_string(rest) + " m from the hull's built position",
                 "pitch: positive nose down; roll: positive towards the left side down", settled};
  return table;
}

Table traverseTable() {
  TankScene scene;
  scene.settle();
  Tank& tank = *scene.tank;
  Table table{{"time_s", "j_held", "rate_degps", "yaw_deg"}, {}, {}};
  char note[80];
  std::snprintf(note, sizeof note, "J held from 0 s to %.2f s; yaw relative to the hull",
                static_cast<double>(kTraverseHeld));
  table.notes.push_back(note);
  const long held = std::lround(kTraverseHeld / kFrame);
  const long frames = held + std::lround(kTraverseAfter / kFrame);
  for (long i = 0; i <= frames; ++i) {
    const bool down = i < held;
    tank.turnTurretLeft(down);
    table.rows.push_back({static_cast<double>(i) * kFrame, down ? 1.0 : 0.0,
                          tank.turret.traverseRate, tank.turret.turretNode->getRotation().Y});
    scene.frame(kFrame);
  }
  return table;
}

}  // namespace handling
