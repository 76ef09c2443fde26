#pragma once

namespace suspension {

// Linear two-sided spring-damper of one road wheel. Lengths in metres,
// forces in newtons, positive when the spring pushes its mount up.
class Suspension {
 public:
  double restLength;   // length at which the spring exerts no force
  double springForce;  // force of the last evaluation
  double lastLength;   // length given to the last evaluation

  explicit Suspension(double restLength);

  // Force at the given length; damping from the change since the last call over dt.
  double calculateSpringForce(double length, double dt);
};

}  // namespace suspension
