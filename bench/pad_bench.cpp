#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include "alloc_counter.h"
#include "app/main.h"
#include "support.h"

namespace {

constexpr irr::u32 kRun = 16;           // ms between the engine's runs, about 60 a second
constexpr int kPressEvery = 30;         // runs between two presses of a button
constexpr irr::s16 kForward = -32767;   // the left stick pushed fully forward
constexpr irr::s16 kHalfRight = 20000;  // the right stick pushed right, a little over half

// What the frame loop adds for pads when none is plugged in: the receiver's look for a
// silent pad, each pass.
void BM_FrameWithoutPad(benchmark::State& state) {
  support::DrivenScene scene;
  for (auto _ : state) scene.receiver.expirePads();
}
BENCHMARK(BM_FrameWithoutPad);

// One run's pad event through the receiver, and the pass's look for a silent pad: the stick
// holding throttle, the right stick swinging the camera, a shoulder pressed now and then
// (and set back, so that the gear stays). Fails when it allocates.
void BM_PadEvent(benchmark::State& state) {
  support::DrivenScene scene;
  irr::SEvent event = {};
  event.EventType = irr::EET_JOYSTICK_INPUT_EVENT;
  event.JoystickEvent.Axis[1] = kForward;
  event.JoystickEvent.Axis[3] = kHalfRight;
  event.JoystickEvent.POV = 65535;
  irr::u32 now = 0;  // ms
  int run = 0;
  const long before = alloc_counter::allocations();
  for (auto _ : state) {
    scene.device->getTimer()->setTime(now += kRun);
    event.JoystickEvent.ButtonStates = ++run % kPressEvery == 0 ? 1u << 5 : 0u;
    scene.receiver.OnEvent(event);
    scene.receiver.expirePads();
    if (run % kPressEvery == 0) scene.tank->setGearDown();
  }
  const long allocations = alloc_counter::allocations() - before;
  state.counters["allocations"] = static_cast<double>(allocations);
  if (allocations != 0) state.SkipWithError("a pad's event allocated");
}
BENCHMARK(BM_PadEvent);

}  // namespace
