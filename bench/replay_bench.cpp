#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "alloc_counter.h"
#include "app/recorder.h"
#include "app/replay.h"
#include "support.h"

namespace {

using support::k60Hz;
constexpr int kDriveFrames = 10 * 60 * 60;  // ten minutes at 60 frames a second
constexpr int kJumpEvery = 120;             // frames: a jump every two seconds
constexpr int kKeyEvery = 45;               // frames between a held key's changes

std::string scratch(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr ? dir : "/tmp") + "/ferrox-bench-" + name;
}

// Ten minutes of driving recorded through the receiver, as the program records: throttle
// and steering changing, jumps, and the mouse swinging the camera in every frame.
void recordDrive(const std::string& path) {
  support::DrivenScene s(false);
  std::srand(1);  // as the program seeds the jump's generator once the tank is built
  replay::Recorder recorder;
  std::string why;
  if (!recorder.open(path.c_str(), 1, why)) std::abort();
  s.receiver.record(&recorder);
  s.press(irr::KEY_SPACE);
  s.press(irr::KEY_KEY_Q);
  for (int f = 0; f < kDriveFrames; ++f) {
    s.point(f % 1000, 20 + f % 50);
    if (f % kKeyEvery == 0)
      s.key(f % (2 * kKeyEvery) == 0 ? irr::KEY_KEY_D : irr::KEY_KEY_A, f % 90 != 0);
    if (f % kJumpEvery == 0) s.press(irr::KEY_KEY_C);
    s.key(irr::KEY_KEY_W, f % 600 < 400);
    s.smgr->drawAll();
    s.tank->calculatePosition(k60Hz);
    recorder.frame(k60Hz, *s.tank);
  }
  recorder.finish(*s.tank);
}

// The whole headless replay of the drive: the file read and checked, the null device, every
// frame. The rate counter is the drive's seconds per second of replaying: times real time.
void BM_HeadlessReplay(benchmark::State& state) {
  const std::string path = scratch("drive.fxr");
  recordDrive(path);
  std::FILE* sink = std::fopen("/dev/null", "w");
  for (auto _ : state)
    if (replay::runHeadless(path.c_str(), sink, sink) != 0) state.SkipWithError("no match");
  std::fclose(sink);
  std::remove(path.c_str());
  state.counters["realtime"] = benchmark::Counter(kDriveFrames * static_cast<double>(k60Hz),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_HeadlessReplay)->Unit(benchmark::kMillisecond)->UseRealTime();

// What recording adds to a frame: a camera swing, a held key every so often, and the frame's
// bytes written to the file. Fails when it allocates.
void BM_RecordedFrame(benchmark::State& state) {
  const std::string path = scratch("frames.fxr");
  support::DrivenScene s;
  replay::Recorder recorder;
  std::string why;
  if (!recorder.open(path.c_str(), 1, why)) std::abort();
  const long before = alloc_counter::allocations();
  int f = 0;
  for (auto _ : state) {
    recorder.camera(static_cast<float>(f % 700), 30.0f);
    if (++f % kKeyEvery == 0) recorder.hold(0, f % 90 == 0);
    recorder.frame(k60Hz, *s.tank);
  }
  const long allocations = alloc_counter::allocations() - before;
  recorder.finish(*s.tank);
  std::remove(path.c_str());
  state.counters["allocations"] = static_cast<double>(allocations);
  if (allocations != 0) state.SkipWithError("recording a frame allocated");
}
BENCHMARK(BM_RecordedFrame);

}  // namespace
