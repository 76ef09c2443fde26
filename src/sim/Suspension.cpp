#include "sim/Suspension.h"

namespace suspension {
namespace {

constexpr double kStiffness = 250000.0;  // N/m
constexpr double kDamping = 20000.0;     // N per m/s

}  // namespace

Suspension::Suspension(double restLength_)
    : restLength(restLength_), springForce(0.0), lastLength(0.0) {}

double Suspension::calculateSpringForce(double length, double dt) {
  const double rate = (length - lastLength) / dt;
  springForce = (restLength - length) * kStiffness;
  springForce = (-rate) * kDamping + springForce;
  lastLength = length;
  return springForce;
}

}  // namespace suspension
