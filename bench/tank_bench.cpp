#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include "alloc_counter.h"
#include "sim/Tank.h"
#include "support.h"

namespace {

using support::k60Hz;
constexpr float kLongFrame = 1.0f / 5.0f;  // s, split into 6 sub-steps
constexpr float kSettleSeconds = 5.0f;     // s
constexpr int kStepsPerRestore = 256;      // about 4 s of undrawn steps at 60 per second

// A null device with a tank driving in a circle, turret turning, settled on its
// springs by drawn frames before the timing starts.
struct DrivingTank {
  DrivingTank() : tank(scene.tank.get()) {
    tank->accelerate(true);
    tank->turnRight(true);
    tank->turnTurretRight(true);
    scene.run(kSettleSeconds, k60Hz);
    hullPosition = tank->chassisNode->getPosition();
    hullRotation = tank->chassisNode->getRotation();
    angularVelocity = tank->angularVelocity;
    chassisVelocity = tank->chassisVelocity;
    for (int i = 0; i < Tank::kWheelCount; ++i) springLengths[i] = tank->suspensions[i]->lastLength;
  }

  // Undrawn, the springs keep reading the same heights and the hull drifts off; put it
  // back as it was after the last drawn frame, so the step is timed on a sane state.
  void restoreHull() {
    tank->chassisNode->setPosition(hullPosition);
    tank->chassisNode->setRotation(hullRotation);
    tank->angularVelocity = angularVelocity;
    tank->chassisVelocity = chassisVelocity;
    for (int i = 0; i < Tank::kWheelCount; ++i) tank->suspensions[i]->lastLength = springLengths[i];
  }

  DrivingTank(const DrivingTank&) = delete;
  DrivingTank& operator=(const DrivingTank&) = delete;

  support::TankScene scene;
  Tank* tank;
  irr::core::vector3df hullPosition, hullRotation, angularVelocity, chassisVelocity;
  double springLengths[Tank::kWheelCount];  // m, the springs' memory
};

// Steps without drawing, on the heights of the last drawn frame, and fails when a step
// allocated.
void timeSteps(benchmark::State& state, float dt) {
  DrivingTank scene;
  const long before = alloc_counter::allocations();
  int sinceRestore = 0;
  for (auto _ : state) {
    scene.tank->calculatePosition(dt);
    benchmark::ClobberMemory();
    if (++sinceRestore == kStepsPerRestore) {
      state.PauseTiming();
      scene.restoreHull();
      sinceRestore = 0;
      state.ResumeTiming();
    }
  }
  const long allocations = alloc_counter::allocations() - before;
  state.counters["allocations"] = static_cast<double>(allocations);
  if (allocations != 0) state.SkipWithError("the motion step allocated");
}

void BM_TankStep(benchmark::State& state) { timeSteps(state, k60Hz); }
BENCHMARK(BM_TankStep);

void BM_TankLongFrame(benchmark::State& state) { timeSteps(state, kLongFrame); }
BENCHMARK(BM_TankLongFrame);

}  // namespace
