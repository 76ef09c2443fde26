// The drives behind each plot of docs/handling.md. Each builds tanks on Irrlicht's null
// device, lets them settle on their springs and then drives them only through the tank's
// commands, one 60 Hz frame at a time as the game does, reading what the model exposes.
#pragma once

#include <vector>

#include "table.h"

namespace handling {

constexpr float kFrame = 1.0f / 60.0f;  // s, the frame every drive steps with

// What one gear does at one road speed, W held.
struct BandPoint {
  double speed;   // m/s, road speed at the start of the step
  double torque;  // N m, the engine's drive torque in that step
  double force;   // N, net longitudinal force: drive less engine and rolling drag
};

// One gear's drive over every road speed that the model reaches in it: from standstill up
// to its top speed and, in all but the fastest gear of each direction, from the fastest
// gear's top speed down to its own.
struct Band {
  int gear;                       // as the status line shows it: -2, -1 reverse, 1..4 forward
  std::vector<BandPoint> points;  // by road speed, ascending
};

// Every gear the model lets a standing tank engage from first gear with Q and E.
std::vector<Band> measureBands();

// The bands as tables: gear, road speed in km/h and drive torque, or net force.
Table torqueTable(const std::vector<Band>& bands);
Table forceTable(const std::vector<Band>& bands);

// Road speed over time with W held from standstill: shifting up from first gear whenever the
// next gear pulls harder at the speed reached (from the bands), and in each gear alone.
Table speedTable(const std::vector<Band>& bands);

// The settled hull's height, pitch and roll through a jump until it has settled again. The
// jump command picks its wheel with rand(): `seed` seeds it, so the same wheel is kicked on
// every run.
Table jumpTable(unsigned seed);

// The turret's traverse rate and yaw with J held for a second, then released.
Table traverseTable();

}  // namespace handling
