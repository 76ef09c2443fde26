#include <gtest/gtest.h>

#include "Suspension.h"

namespace {

constexpr double kForceTol = 1e-3;  // N

TEST(Suspension, FirstEvaluationDampsTheWholeLengthAsMotion) {
  suspension::Suspension s(0.75);
  EXPECT_EQ(s.lastLength, 0.0);
  // Remembered length 0: a rate of 0.75 / 0.02 = 37.5 m/s.
  EXPECT_NEAR(s.calculateSpringForce(0.75, 0.02), -750000.0, kForceTol);
  EXPECT_EQ(s.lastLength, 0.75);
}

TEST(Suspension, StiffnessAndDampingAddUp) {
  suspension::Suspension s(0.75);
  s.calculateSpringForce(0.75, 0.02);
  EXPECT_NEAR(s.calculateSpringForce(0.75, 0.02), 0.0, kForceTol);
  // 12500 from compression, 50000 from the rate of -2.5 m/s.
  EXPECT_NEAR(s.calculateSpringForce(0.70, 0.02), 62500.0, kForceTol);
  EXPECT_NEAR(s.springForce, 62500.0, kForceTol);
}

TEST(Suspension, SpringIsTwoSidedAndLinear) {
  suspension::Suspension s(0.75);
  const double stretched = 0.75 + 589200.0 / (14.0 * 250000.0);
  s.calculateSpringForce(stretched, 0.02);
  // Held still, a stretched spring pulls down with its share of the hull's load.
  EXPECT_NEAR(s.calculateSpringForce(stretched, 0.02), -42085.714, kForceTol);
  s.calculateSpringForce(0.65, 0.02);
  EXPECT_NEAR(s.calculateSpringForce(0.65, 0.02), 25000.0, kForceTol);
}

}  // namespace
