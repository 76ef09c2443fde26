#pragma once

#include <vector>

namespace engine {

// Engine and manual gearbox: turns throttle, brake and the selected gear into
// road speed along the tank's heading. Gearbox positions index gearRatios:
// 0 second reverse, 1 first reverse, 2 neutral, 3..6 first to fourth.
class Engine {
 public:
  bool accelerating;              // throttle flag of the last step
  bool braking;                   // brake flag of the last step
  double acceleration;            // m/s^2, net, of the last step
  double speed;                   // m/s, positive forwards
  double force;                   // N, net longitudinal force of the last step
  double rpm;                     // engine speed: ratio x road speed
  double torque;                  // drive torque chosen in the last step
  double brakeDamping;            // N per m/s while braking, else 0
  int gear;                       // gearbox position, 0..6
  std::vector<float> gearRatios;  // overall ratios by gearbox position

  Engine();
  ~Engine();
  Engine(const Engine&) = default;
  Engine& operator=(const Engine&) = default;

  // Shift one position; 1 when the gear changed, 0 when refused.
  int setGearUp();
  int setGearDown();

  // One step of dt seconds. The flags and dt are only read.
  void calculateAcceleration(bool& accelerating, bool& braking, float& dt);

  double getSpeed() const { return speed; }
  double getForce() const { return force; }
  double getRPM() const { return rpm; }
  int getGear() const { return gear - kNeutral; }  // -2..4, 0 neutral

  static constexpr int kSecondReverse = 0;
  static constexpr int kNeutral = 2;
  static constexpr int kFirst = 3;
  static constexpr int kSecond = 4;
  static constexpr int kFourth = 6;
};

}  // namespace engine
