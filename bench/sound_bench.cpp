#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "alloc_counter.h"
#include "app/sound.h"
#include "app/sound_mix.h"
#include "heap_counter.h"
#include "sim/Tank.h"
#include "support.h"

namespace {

constexpr float kSettleSeconds = 2.0f;  // s of throttle in first gear before timing
constexpr double kRpmSweep = 0.01;      // engine speed added each frame, so pitches change

// A tank pulling in first gear, its engine speed creeping up frame by frame.
struct Pulling {
  Pulling() {
    scene.tank->accelerate(true);
    scene.run(kSettleSeconds, support::k60Hz);
  }
  void next() { scene.tank->engine.rpm += kRpmSweep; }
  support::TankScene scene;
};

void countAllocations(benchmark::State& state, long news, long heap) {
  const auto perFrame = benchmark::Counter::kAvgIterations;
  state.counters["allocations"] =
      benchmark::Counter(static_cast<double>(alloc_counter::allocations() - news), perFrame);
  if (heap >= 0)
    state.counters["heap_allocations"] =
        benchmark::Counter(static_cast<double>(heap_counter::allocations() - heap), perFrame);
}

// The mapping from the model's state to the voices, once a frame.
void BM_SoundMix(benchmark::State& state) {
  Pulling tank;
  sound::Mixer mixer;
  const long news = alloc_counter::allocations(), heap = heap_counter::allocations();
  for (auto _ : state) {
    tank.next();
    benchmark::DoNotOptimize(mixer.next(tank.scene.tank->engine, false, false));
  }
  if (news != alloc_counter::allocations()) state.SkipWithError("the mapping allocated");
  countAllocations(state, news, heap);
}
BENCHMARK(BM_SoundMix);

// The program's sound each frame, Sound::play, on OpenAL Soft's wave writer into /dev/null:
// the library's calls and its mixing thread as with a sound card, nothing written to keep.
// The heap count takes in the mixing thread too.
void BM_SoundFrame(benchmark::State& state) {
  const char* tmp = std::getenv("TMPDIR");
  std::string conf = std::string(tmp != nullptr ? tmp : "/tmp") + "/ferrox-sound-bench-XXXXXX";
  const int fd = mkstemp(conf.data());
  std::FILE* out = fd >= 0 ? fdopen(fd, "w") : nullptr;
  if (out == nullptr) {
    state.SkipWithError("no configuration file for the wave writer");
    return;
  }
  std::fputs("[general]\ndrivers=wave\n[wave]\nfile=/dev/null\n", out);
  std::fclose(out);
  setenv("ALSOFT_CONF", conf.c_str(), 1);
  Pulling tank;
  Sound sound;
  const char* why = sound.open();
  unlink(conf.c_str());
  if (why != nullptr) {
    state.SkipWithError(why);
    return;
  }
  for (int i = 0; i < 60; ++i) sound.play(*tank.scene.tank, false);  // the sources started
  const long news = alloc_counter::allocations(), heap = heap_counter::allocations();
  for (auto _ : state) {
    tank.next();
    sound.play(*tank.scene.tank, false);
  }
  if (news != alloc_counter::allocations()) state.SkipWithError("the frame's sound allocated");
  countAllocations(state, news, heap);
  sound.close();
}
BENCHMARK(BM_SoundFrame);

}  // namespace
