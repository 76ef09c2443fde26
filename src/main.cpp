#include "main.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Tank.h"
#include "assets/catalog.h"
#include "assets/files.h"
#include "assets/library.h"
#include "world.h"

namespace {

constexpr irr::u32 kWindowWidth = 1024;  // px
constexpr irr::u32 kWindowHeight = 768;  // px
constexpr irr::u8 kColourDepth = 32;     // bits per pixel

// Why the window could not be opened, as far as we can tell from here.
std::string windowFailureReason() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') return "DISPLAY is not set";
  return std::string("no X server or no OpenGL on display ") + display;
}

// Names each file on stderr; true when there was any.
bool report(const std::vector<std::string>& paths, const char* what) {
  for (const std::string& path : paths) std::fprintf(stderr, "ferrox: %s %s\n", what, path.c_str());
  return !paths.empty();
}

}  // namespace

int main() {
  // Start-up: the media, each asset read and decoded once by our own code, the window, the
  // tank and its world.
  assets::enterMediaDirectory(assets::kGroundMesh);
  assets::Library assets;  // the engine gets the finished meshes and images, never the files
  if (report(assets.load(), "cannot load")) return 1;

  MyEventReceiver receiver;
  device = irr::createDevice(irr::video::EDT_OPENGL,
                             irr::core::dimension2d<irr::u32>(kWindowWidth, kWindowHeight),
                             kColourDepth, true, false, false, &receiver);
  if (device == nullptr) {
    std::fprintf(stderr, "ferrox: could not open the window: %s\n", windowFailureReason().c_str());
    return 1;
  }
  if (report(assets.install(device), "cannot load")) {
    device->drop();
    return 1;
  }
  Tank* player = buildScene(device);
  Frame frame(device, device->getGUIEnvironment()->getFont(assets::kFont));
  device->getCursorControl()->setVisible(true);

  runFrameLoop(device, frame, *player);

  // Shutdown: the engine owns the scene; the tank lives until the process ends.
  device->drop();
  return 0;
}
