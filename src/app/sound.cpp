#include "app/sound.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/sound_synth.h"
#include "sim/Tank.h"

namespace {

// The loops come first: kLoops sources from the first.
enum Voice { kNote, kRumble, kClunk, kVoices, kLoops = kClunk };
constexpr float kMasterGain = 0.6f;  // headroom for the three voices together
constexpr float kClunkGain = 1.0f;   // of its synthesized loudness

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
  ALuint buffers[kVoices] = {};
  ALuint sources[kVoices] = {};
  bool running = true;    // the device mixing (not paused)
  bool sounding = false;  // the loops playing
};

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
  device_ = std::move(d);

  const std::vector<std::int16_t> sounds[kVoices] = {sound::engineNote(), sound::trackRumble(),
                                                     sound::gearClunk()};
  alGetError();
  alGenBuffers(kVoices, device_->buffers);
  alGenSources(kVoices, device_->sources);
  for (int v = 0; v < kVoices; ++v) {
    const ALuint source = device_->sources[v];
    alBufferData(device_->buffers[v], AL_FORMAT_MONO16, sounds[v].data(),
                 static_cast<ALsizei>(sounds[v].size() * sizeof(std::int16_t)), sound::kSampleRate);
    alSourcei(source, AL_BUFFER, static_cast<ALint>(device_->buffers[v]));
    alSourcei(source, AL_LOOPING, v == kClunk ? AL_FALSE : AL_TRUE);
    // At the listener: heard alike in both ears, at every distance.
    alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(source, AL_POSITION, 0.0f, 0.0f, 0.0f);
  }
  alSourcef(device_->sources[kClunk], AL_GAIN, kClunkGain);
  alListenerf(AL_GAIN, kMasterGain);
  if (alGetError() != AL_NO_ERROR) {
    close();
    return "the audio device refused the sounds";
  }
  return nullptr;
}

void Sound::openOnFirstPlay(std::FILE* log) { log_ = log; }

void Sound::play(const Tank& tank, bool muted) {
  if (log_ != nullptr) {
    if (const char* why = open()) std::fprintf(log_, "ferrox: %s, playing silently\n", why);
    log_ = nullptr;
  }
  if (!device_) return;
  const sound::Voices v = mixer_.next(tank.engine, tank.paused, muted);
  // Paused or muted the device goes on mixing silence, which costs next to nothing, and
  // sounds again at once; it stands idle only while the window is out of use.
  run(true);
  if (!v.audible) {
    silence();
    return;
  }
  const ALuint* sources = device_->sources;
  // The frame's changes take effect together: the clunk starts with the pitch it lowers.
  alDeferUpdatesSOFT();
  alSourcef(sources[kNote], AL_PITCH, static_cast<float>(v.noteHz / sound::kNoteHz));
  alSourcef(sources[kNote], AL_GAIN, v.noteGain);
  alSourcef(sources[kRumble], AL_PITCH, v.rumbleRate);
  alSourcef(sources[kRumble], AL_GAIN, v.rumbleGain);
  if (v.clunk) alSourcePlay(sources[kClunk]);
  if (!device_->sounding) alSourcePlayv(kLoops, sources);
  device_->sounding = true;
  alProcessUpdatesSOFT();
}

void Sound::hold() {
  if (!device_) return;
  silence();
  run(false);
}

void Sound::silence() {
  if (device_->sounding) alSourcePausev(kLoops, device_->sources);
  device_->sounding = false;
  alSourceStop(device_->sources[kClunk]);
}

void Sound::run(bool running) {
  if (running == device_->running) return;
  if (running)
    alcDeviceResumeSOFT(device_->device);
  else
    alcDevicePauseSOFT(device_->device);
  device_->running = running;
}

void Sound::close() {
  if (!device_) return;
  alSourceStopv(kVoices, device_->sources);
  alDeleteSources(kVoices, device_->sources);
  alDeleteBuffers(kVoices, device_->buffers);
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(device_->context);
  alcCloseDevice(device_->device);
  device_.reset();
}
