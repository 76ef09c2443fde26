#pragma once

// The physical quantities that more than one part of the tank takes, each named once.

namespace sim {

inline constexpr double kTankMass = 60000.0;  // kg: what the engine drives and the springs carry
inline constexpr double kGravity = 9.82;      // m/s^2

}  // namespace sim
