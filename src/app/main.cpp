#include "app/main.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/recorder.h"
#include "app/replay.h"
#include "app/sound.h"
#include "app/world.h"
#include "app/xwindow.h"
#include "assets/catalog.h"
#include "assets/files.h"
#include "assets/library.h"
#include "assets/settings.h"
#include "sim/Tank.h"

namespace {

constexpr irr::u32 kWindowWidth = 1024;  // px
constexpr irr::u32 kWindowHeight = 768;  // px
constexpr irr::u8 kColourDepth = 32;     // bits per pixel
constexpr int kUsageExit = 2;            // exit code for a command line not understood
constexpr int kBadRecordingExit = 2;     // exit code for a recording that cannot be read

// Why the window could not be opened, as far as we can tell from here.
std::string windowFailureReason() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') return "DISPLAY is not set";
  return std::string("no X server or no OpenGL on display ") + display;
}

// Names each file on stderr.
void report(const std::vector<std::string>& paths, const char* what) {
  for (const std::string& path : paths) std::fprintf(stderr, "ferrox: %s %s\n", what, path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parseOptions(argc, argv);
  if (!options.understood) {
    std::fprintf(stderr, "ferrox: %s '%s'\n%s",
                 options.valueMissing ? "a file name must follow" : "unknown option",
                 options.unknown.c_str(), usage());
    return kUsageExit;
  }
  if (options.help) {
    std::fputs(usage(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("ferrox %s\n", version());
    return 0;
  }
  if (!options.mistake.empty()) {
    std::fprintf(stderr, "ferrox: %s\n%s", options.mistake.c_str(), usage());
    return kUsageExit;
  }
  if (options.headless) return replay::runHeadless(options.replay.c_str(), stdout, stderr);
  catchStopSignals();

  // A drive to replay is read and checked before anything else starts.
  assets::Bytes recording;
  assets::replay::File recorded;
  if (!options.replay.empty()) {
    std::string why;
    if (!replay::load(options.replay.c_str(), recording, recorded, why)) {
      std::fprintf(stderr, "%s\n", why.c_str());
      return kBadRecordingExit;
    }
  }
  // The jump's generator starts from the time unless told otherwise; a recording holds the
  // seed it started from.
  const std::uint32_t seed = !options.replay.empty() ? recorded.seed
                             : options.seedGiven     ? options.seed
                                                 : static_cast<std::uint32_t>(std::time(nullptr));
  replay::Recorder recorder;
  if (!options.record.empty()) {
    std::string why;
    if (!recorder.open(options.record.c_str(), seed, why)) {
      std::fprintf(stderr, "ferrox: cannot record into %s: %s\n", options.record.c_str(),
                   why.c_str());
      return 1;
    }
  }

  // The settings, read before the program moves to its media, so that a relative --settings
  // path names what the player meant. The command line's options win over the file's.
  const bool named = !options.settings.empty();
  assets::Settings settings = assets::loadSettings(
      named ? options.settings
            : assets::settingsPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")),
      named, stderr);
  settings.windowed = settings.windowed || options.windowed;
  settings.mute = settings.mute || options.mute;

  // Start-up: the media, each asset read and decoded once by our own code, the window, the
  // tank and its world, the sound, the game pads.
  assets::enterMediaDirectory(assets::kGroundMesh);
  assets::Library assets;  // the engine gets the finished meshes and images, never the files
  // A texture that cannot be loaded is named and its surfaces drawn untextured; a mesh or
  // the font ends the game before its window opens.
  report(assets.load(), "cannot load");
  if (!assets.playable()) return 1;

  MyEventReceiver receiver;
  receiver.configure(settings);
  receiver.logFullScreenWarnings(options.verbose);
  irr::SIrrlichtCreationParameters window;
  window.DriverType = irr::video::EDT_OPENGL;
  window.WindowSize = irr::core::dimension2d<irr::u32>(kWindowWidth, kWindowHeight);
  window.Bits = kColourDepth;
  window.Fullscreen = !settings.windowed;
  window.Stencilbuffer = false;
  window.Vsync = false;
  window.EventReceiver = &receiver;  // it writes the engine's log from the first line on
  window.LoggingLevel = options.verbose ? irr::ELL_DEBUG : irr::ELL_WARNING;
  device = irr::createDeviceEx(window);
  if (device == nullptr) {
    std::fprintf(stderr, "ferrox: could not open the window: %s\n", windowFailureReason().c_str());
    return 1;
  }
  if (window.Fullscreen && !device->isFullscreen())
    std::fputs("ferrox: full screen is not available here, playing in a window\n", stderr);
  xwindow::watch(device);
  report(assets.install(device), "cannot load");
  if (!assets.playable()) {
    device->drop();
    return 1;
  }
  Tank* player = buildScene(device);
  std::srand(seed);
  if (options.verbose) std::fprintf(stderr, "ferrox: the jump's seed is %u\n", unsigned{seed});
  Frame frame(device, device->getGUIEnvironment()->getFont(assets::kFont));
  if (recorder.recording()) {
    receiver.record(&recorder);
    frame.record(&recorder);
  }
  std::optional<replay::Player> playback;
  if (!options.replay.empty()) {
    playback.emplace(options.replay.c_str(), recording, recorded, stdout, stderr);
    receiver.replay(&*playback);
    frame.replay(&*playback);
  }
  frame.bindKeys(receiver.keys());
  device->getCursorControl()->setVisible(true);
  receiver.placeCursor(device->getCursorControl());
  // The sound: the default audio device, opened once the first frame is drawn; without one
  // the game says so and plays silently.
  Sound sound;
  sound.openOnFirstPlay(stderr);

  // Game pads: the engine opens those plugged in now and posts each one's state to the
  // receiver on every run from here on.
  irr::core::array<irr::SJoystickInfo> pads;
  if (device->activateJoysticks(pads)) receiver.watchPads(pads);

  runFrameLoop(device, frame, *player, receiver, sound);
  // Neither Escape nor a signal: the window system closed the window.
  if (xwindow::gone() || (!quit && stopSignal == 0)) std::fputs(xwindow::kClosedMessage, stderr);
  recorder.finish(*player);
  int code = 0;
  if (playback && playback->done()) code = playback->verdict();
  if (playback && !playback->done())
    std::printf("replay: %s stopped at frame %u of %u\n", options.replay.c_str(),
                unsigned{playback->played()}, unsigned{recorded.frames});

  // Shutdown: the audio device closes; the engine owns the scene; the tank lives until the
  // process ends. Dropping the device also gives the screen back its video mode.
  sound.close();
  device->drop();
  return code;
}
