#include "app/sound.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "app/sound_synth.h"
#include "sim/Tank.h"

namespace {

// The device plays a queue of short buffers that a thread of ours keeps filled from the
// renderer: every sample is ours, so every start and stop fades. The queue is as long as
// a busy machine may keep the thread waiting; it is also how late a change is heard.
constexpr int kBuffers = 8;
constexpr int kBufferSamples = 256;                    // at sound::kSampleRate: 11.6 ms
constexpr auto kTopUp = std::chrono::milliseconds(4);  // between the thread's visits
// The end waits this long at most for the fade out to reach the device.
constexpr auto kLastFade = std::chrono::milliseconds(250);

// Standard error sent to /dev/null for as long as it lives. ALSA writes its own complaints
// there when it finds no sound card, whatever OpenAL Soft's log level.
class QuietStderr {
 public:
  explicit QuietStderr(bool quiet) {
    if (!quiet) return;
    std::fflush(stderr);
    saved_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) ::close(null);
  }
  ~QuietStderr() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    ::close(saved_);
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace

struct Sound::Device {
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
  ALuint source = 0;
  ALuint buffers[kBuffers] = {};
  std::thread feeder;
  // Guards what follows, which the frame sets and the feeder reads.
  std::mutex lock;
  std::condition_variable wake;
  sound::Renderer renderer;
  bool held = false;    // the window out of use: fade out, then the device idles
  bool ending = false;  // the end is near: fade out for good
  bool stop = false;    // the feeder ends

  // The feeder: keeps the queue full; once faded out while held, lets the device idle.
  void feed();
  // Fills and queues one buffer from the renderer; the lock is held.
  void queue(ALuint buffer);
  // Buffers the device has not played yet; the lock is held.
  int pending();
};

void Sound::Device::queue(ALuint buffer) {
  std::int16_t samples[kBufferSamples];
  renderer.render(samples, kBufferSamples);
  alBufferData(buffer, AL_FORMAT_MONO16, samples, sizeof samples, sound::kSampleRate);
  alSourceQueueBuffers(source, 1, &buffer);
}

int Sound::Device::pending() {
  ALint queued = 0, processed = 0;
  alGetSourcei(source, AL_BUFFERS_QUEUED, &queued);
  alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
  return queued - processed;
}

void Sound::Device::feed() {
  std::unique_lock<std::mutex> guard(lock);
  for (int i = 0; i < kBuffers; ++i) queue(buffers[i]);
  alSourcePlay(source);
  bool idle = false;  // the device paused
  while (!stop) {
    if (renderer.silent() && held && !ending && pending() == 0) {
      // Everything played has faded out: the device may rest until the window is back.
      alcDevicePauseSOFT(device);
      idle = true;
      wake.wait(guard, [this] { return !held || ending || stop; });
      continue;
    }
    if (idle) {
      alcDeviceResumeSOFT(device);
      idle = false;
    }
    ALint processed = 0;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    for (; processed > 0; --processed) {
      ALuint buffer = 0;
      alSourceUnqueueBuffers(source, 1, &buffer);
      queue(buffer);
    }
    // A queue that ran dry stops the source: it starts again on what is queued now.
    ALint state = AL_STOPPED;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (state != AL_PLAYING) alSourcePlay(source);
    guard.unlock();
    std::this_thread::sleep_for(kTopUp);
    guard.lock();
  }
}

Sound::Sound() = default;
Sound::~Sound() { close(); }

const char* Sound::open() {
  close();
  // The library reads its log level once, at its first call; the player's own setting,
  // read before ours, is kept, and shows the messages.
  static const bool userLog = std::getenv("ALSOFT_LOGLEVEL") != nullptr;
  setenv("ALSOFT_LOGLEVEL", "0", 0);
  auto d = std::make_unique<Device>();
  {
    QuietStderr quiet(!userLog);
    d->device = alcOpenDevice(nullptr);
  }
  if (d->device == nullptr) return "no audio device";
  d->context = alcCreateContext(d->device, nullptr);
  if (d->context == nullptr || !alcMakeContextCurrent(d->context)) {
    if (d->context != nullptr) alcDestroyContext(d->context);
    alcCloseDevice(d->device);
    return "the audio device refused a context";
  }
  alGetError();
  alGenBuffers(kBuffers, d->buffers);
  alGenSources(1, &d->source);
  // At the listener: heard alike in both ears, at every distance.
  alSourcei(d->source, AL_SOURCE_RELATIVE, AL_TRUE);
  alSource3f(d->source, AL_POSITION, 0.0f, 0.0f, 0.0f);
  const bool refused = alGetError() != AL_NO_ERROR;
  device_ = std::move(d);
  if (refused) {
    close();
    return "the audio device refused the sounds";
  }
  device_->feeder = std::thread(&Device::feed, device_.get());
  return nullptr;
}

void Sound::openOnFirstPlay(std::FILE* log) { log_ = log; }

void Sound::play(const Tank& tank, bool muted, const cues::Pending& cues) {
  if (log_ != nullptr) {
    if (const char* why = open()) std::fprintf(log_, "ferrox: %s, playing silently\n", why);
    log_ = nullptr;
  }
  if (!device_) return;
  const sound::Voices v =
      mixer_.next(tank.engine, tank.paused, muted, cues, tank.angularVelocity.Y);
  std::lock_guard<std::mutex> guard(device_->lock);
  device_->renderer.set(v);
  if (device_->held) {
    device_->held = false;
    device_->renderer.quiet(false);
    device_->wake.notify_all();
  }
}

void Sound::hold() {
  if (!device_) return;
  std::lock_guard<std::mutex> guard(device_->lock);
  device_->held = true;
  device_->renderer.quiet(true);
}

void Sound::close() {
  if (!device_) return;
  if (device_->feeder.joinable()) {
    {
      std::lock_guard<std::mutex> guard(device_->lock);
      device_->ending = true;
      device_->renderer.quiet(true);
    }
    device_->wake.notify_all();
    // The fade out plays to its end before the device closes, unless the device stalls.
    const auto deadline = std::chrono::steady_clock::now() + kLastFade;
    while (std::chrono::steady_clock::now() < deadline) {
      {
        std::lock_guard<std::mutex> guard(device_->lock);
        if (device_->renderer.silent() && device_->pending() == 0) break;
      }
      std::this_thread::sleep_for(kTopUp);
    }
    {
      std::lock_guard<std::mutex> guard(device_->lock);
      device_->stop = true;
    }
    device_->wake.notify_all();
    device_->feeder.join();
  }
  alSourceStop(device_->source);
  alSourcei(device_->source, AL_BUFFER, 0);
  alDeleteSources(1, &device_->source);
  alDeleteBuffers(kBuffers, device_->buffers);
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(device_->context);
  alcCloseDevice(device_->device);
  device_.reset();
}
