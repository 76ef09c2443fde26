#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <memory>

#include "alloc_counter.h"
#include "app/instruments.h"
#include "app/world.h"
#include "assets/files.h"
#include "assets/library.h"
#include "sim/Tank.h"
#include "support.h"

namespace {

constexpr int kRate = 60;           // frames per second the timed frames step by
constexpr int kSettleFrames = 300;  // 5 s at that rate

// The program's scene and frame on the null device, loaded from media/, the tank driving
// in a circle with its turret turning.
struct Program {
  Program() {
    device = support::createNullDevice();
    // As the program loads them: decoded by us, then cached; ../media from bin/.
    assets::installAll(device, FERROX_RUN_DIR);
    tank = buildScene(device);
    frame = std::make_unique<Frame>(device, device->getGUIEnvironment()->getFont(assets::kFont));
    tank->pause();
    tank->accelerate(true);
    tank->turnRight(true);
    tank->turnTurretRight(true);
    for (int i = 0; i < kSettleFrames; ++i) pass();
  }
  ~Program() {
    frame.reset();
    delete tank;
    device->drop();
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The program's pass with the rate fixed: the null driver's counter reads 1 for its first
  // 1.5 s and then tens of thousands, steps no window would take.
  void pass() {
    frame->draw(*tank);
    frame->advance(*tank, kRate);
  }

  irr::IrrlichtDevice* device;
  Tank* tank;
  std::unique_ptr<Frame> frame;
};

// Allocations are counted, not forbidden: the engine's font takes its text as an engine
// string and builds arrays for every draw.
void BM_NullDeviceFrame(benchmark::State& state) {
  Program program;
  const long before = alloc_counter::allocations();
  for (auto _ : state) program.pass();
  state.counters["allocations"] =
      benchmark::Counter(static_cast<double>(alloc_counter::allocations() - before),
                         benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_NullDeviceFrame);

// What the gauges add to a frame: drawing them alone, on the same device and font.
void BM_NullDeviceInstruments(benchmark::State& state) {
  Program program;
  irr::gui::IGUIFont* font = program.device->getGUIEnvironment()->getFont(assets::kFont);
  irr::video::IVideoDriver* driver = program.device->getVideoDriver();
  for (auto _ : state) instruments::draw(driver, font, program.tank->engine);
}
BENCHMARK(BM_NullDeviceInstruments);

}  // namespace
