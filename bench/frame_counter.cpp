// Preloaded into the program and into the bare viewer (LD_PRELOAD) to count their frames
// from outside: every frame ends in glXSwapBuffers, so both are measured alike and neither
// needs a hook of its own. Reads
//   FERROX_FRAMES_OUT      file to write the figures to (nothing is counted without it)
//   FERROX_FRAMES_WARMUP   s after the first frame before counting starts
//   FERROX_FRAMES_SECONDS  s to count for
//   FERROX_LAUNCH_NS       wall clock (ns since the epoch) when the process was launched
// and writes, once the count is over, one line:
//   first_frame_s <s> frames <n> seconds <s> fps <f> cpu_ms_per_frame <ms> peak_kb <kB>
//   longest_frame_s <s> first_frame_cpu_s <s> cpu_frame_median_ms <ms> cpu_frame_worst_ms <ms>
// with the processor time of all threads (the software rasterizer's included) per frame, the
// longest time between two frames from the first frame on, the processor time from launch to
// the end of the first frame, and the median and the most processor time between two frames
// from the first on (the frames counted are those up to the end of the count).
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

// GLX's own types, spelled out so that no GL headers are needed: an X display and an XID.
struct _XDisplay;
using GLXDrawable = unsigned long;

namespace {

using SwapBuffers = void (*)(_XDisplay*, GLXDrawable);

struct Counter {
  bool armed = false;
  bool done = false;
  double warmup = 0.0;   // s
  double seconds = 0.0;  // s
  long long launchNs = 0;
  const char* out = nullptr;
  long frames = 0;            // swaps so far
  double firstFrameS = -1.0;  // s from launch to the end of the first swap
  double firstAt = 0.0;       // s, monotonic
  double startAt = 0.0;       // s, monotonic, when counting started
  double startCpu = 0.0;      // s of processor time, when counting started
  long startFrames = 0;
  double lastAt = 0.0;          // s, monotonic, the end of the last swap
  double longestFrameS = 0.0;   // s between two swaps, the longest since the first frame
  double firstFrameCpuS = 0.0;  // s of processor time at the end of the first swap
  double lastCpu = 0.0;         // s of processor time at the end of the last swap
  long timed = 0;               // entries of frameCpuMs
};

// ms of processor time between swaps, from the first on; plain static storage, since the
// constructor above may run before any object's own, and untouched pages cost no memory.
constexpr long kMostTimed = 1 << 17;
double frameCpuMs[kMostTimed];

Counter counter;

double now(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Highest resident set size so far, in kB.
long peakKb() {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return -1;
  char line[256];
  long kb = -1;
  while (std::fgets(line, sizeof line, status))
    if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) break;
  std::fclose(status);
  return kb;
}

__attribute__((constructor)) void arm() {
  const char* out = std::getenv("FERROX_FRAMES_OUT");
  const char* warmup = std::getenv("FERROX_FRAMES_WARMUP");
  const char* seconds = std::getenv("FERROX_FRAMES_SECONDS");
  const char* launch = std::getenv("FERROX_LAUNCH_NS");
  if (!out || !warmup || !seconds || !launch) return;
  counter.out = out;
  counter.warmup = std::atof(warmup);
  counter.seconds = std::atof(seconds);
  counter.launchNs = std::atoll(launch);
  counter.armed = true;
}

void count() {
  ++counter.frames;
  const double t = now(CLOCK_MONOTONIC);
  const double cpu = now(CLOCK_PROCESS_CPUTIME_ID);
  if (counter.frames > 1 && counter.timed < kMostTimed)
    frameCpuMs[counter.timed++] = 1000.0 * (cpu - counter.lastCpu);
  counter.lastCpu = cpu;
  if (counter.frames > 1 && t - counter.lastAt > counter.longestFrameS)
    counter.longestFrameS = t - counter.lastAt;
  counter.lastAt = t;
  if (counter.frames == 1) {
    const double wall = now(CLOCK_REALTIME);
    counter.firstFrameS = wall - static_cast<double>(counter.launchNs) * 1e-9;
    counter.firstAt = t;
    counter.firstFrameCpuS = cpu;
    return;
  }
  if (counter.startAt == 0.0) {
    if (t - counter.firstAt < counter.warmup) return;
    counter.startAt = t;
    counter.startCpu = now(CLOCK_PROCESS_CPUTIME_ID);
    counter.startFrames = counter.frames;
    return;
  }
  const double elapsed = t - counter.startAt;
  if (elapsed < counter.seconds) return;
  const long frames = counter.frames - counter.startFrames;
  const double spent = cpu - counter.startCpu;
  std::sort(frameCpuMs, frameCpuMs + counter.timed);
  const double median = counter.timed == 0 ? 0.0 : frameCpuMs[counter.timed / 2];
  const double worst = counter.timed == 0 ? 0.0 : frameCpuMs[counter.timed - 1];
  if (FILE* f = std::fopen(counter.out, "w")) {
    std::fprintf(f,
                 "first_frame_s %.3f frames %ld seconds %.3f fps %.2f cpu_ms_per_frame %.3f "
                 "peak_kb %ld longest_frame_s %.3f first_frame_cpu_s %.3f "
                 "cpu_frame_median_ms %.2f cpu_frame_worst_ms %.2f\n",
                 counter.firstFrameS, frames, elapsed, frames / elapsed, 1000.0 * spent / frames,
                 peakKb(), counter.longestFrameS, counter.firstFrameCpuS, median, worst);
    std::fclose(f);
  }
  counter.done = true;
}

}  // namespace

extern "C" void glXSwapBuffers(_XDisplay* display, GLXDrawable drawable) {
  static const SwapBuffers real = reinterpret_cast<SwapBuffers>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
  real(display, drawable);
  if (counter.armed && !counter.done) count();
}
