#include <benchmark/benchmark.h>

#include "alloc_counter.h"
#include "sim/Engine.h"
#include "sim/Suspension.h"

namespace {

constexpr float kFrame = 1.0f / 60.0f;  // s, a common frame
constexpr double kRestLength = 0.75;    // m, a road wheel's spring
constexpr double kStroke = 0.05;        // m, how far the timed spring is worked
constexpr int kStrokeSteps = 64;        // lengths per stroke

// Fails the benchmark when the timed code allocated.
void countAllocations(benchmark::State& state, long before, const char* what) {
  const long allocations = alloc_counter::allocations() - before;
  state.counters["allocations"] = static_cast<double>(allocations);
  if (allocations != 0) state.SkipWithError(what);
}

// One engine step in first gear, throttle held: it climbs to its top speed and stays there.
void BM_EngineStep(benchmark::State& state) {
  engine::Engine engine;
  engine.setGearUp();
  bool throttle = true;
  bool brake = false;
  float dt = kFrame;
  const long before = alloc_counter::allocations();
  for (auto _ : state) {
    engine.calculateAcceleration(throttle, brake, dt);
    benchmark::DoNotOptimize(engine.speed);
  }
  countAllocations(state, before, "the engine step allocated");
}
BENCHMARK(BM_EngineStep);

// One spring evaluation, the length moving up and down through the rest length.
void BM_SpringForce(benchmark::State& state) {
  suspension::Suspension spring(kRestLength);
  int i = 0;
  const long before = alloc_counter::allocations();
  for (auto _ : state) {
    const double length = kRestLength + kStroke * (i - kStrokeSteps / 2) / kStrokeSteps;
    i = (i + 1) % kStrokeSteps;
    benchmark::DoNotOptimize(spring.calculateSpringForce(length, kFrame));
  }
  countAllocations(state, before, "the spring allocated");
}
BENCHMARK(BM_SpringForce);

}  // namespace
