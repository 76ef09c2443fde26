// Starts up as the program does (its asset checks, its tank, its world) and draws with the
// program's own frame, without the simulation step: for looking at the media, and the
// frame-rate baseline of the program. The tank is built and never stepped.
//   ferrox_viewer [--seconds S] [--frames N] [--screenshot PNG]
//                 [--eye X,Y,Z] [--target X,Y,Z] [--chase X,Y [--text 1]]
//                 [--turret DEG] [--elevation DEG]
// By default a free camera at --eye looks at --target; --chase looks through the tank's
// chase camera instead, turned by the program's own receiver for a cursor at X,Y. --text 1 draws
// the program's status line and gauges as well, so that the two differ only by the simulation
// step. Reads ../media as the program does, moving beside itself when it is not there.
#include <irrlicht.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/main.h"
#include "app/world.h"
#include "assets/files.h"
#include "assets/library.h"
#include "sim/Tank.h"

using namespace irr;

namespace {

constexpr u32 kWidth = 1024, kHeight = 768;  // px, the program's window
constexpr u8 kColourDepth = 32;              // bits per pixel
constexpr float kCameraFar = 1000.0f;        // m, as the chase camera's

struct Options {
  double seconds = 0.0;
  int frames = 5;
  std::string screenshot;
  core::vector3df eye{4.5f, 4.0f, -11.0f};
  core::vector3df target{0.0f, 1.4f, 1.5f};
  bool chase = false;
  bool text = false;
  int cursorX = 0;            // px, the cursor that turns the chase camera
  int cursorY = 0;            // px
  float turretYaw = 0.0f;     // degrees
  float gunElevation = 0.0f;  // degrees, the pivot's X rotation: negative raises the gun
};

bool parseVector(const char* text, core::vector3df* v) {
  return std::sscanf(text, "%f,%f,%f", &v->X, &v->Y, &v->Z) == 3;
}

bool parse(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!value) return false;
    ++i;
    if (!std::strcmp(arg, "--seconds")) {
      o->seconds = std::atof(value);
    } else if (!std::strcmp(arg, "--frames")) {
      o->frames = std::atoi(value);
    } else if (!std::strcmp(arg, "--screenshot")) {
      o->screenshot = value;
    } else if (!std::strcmp(arg, "--eye")) {
      if (!parseVector(value, &o->eye)) return false;
    } else if (!std::strcmp(arg, "--target")) {
      if (!parseVector(value, &o->target)) return false;
    } else if (!std::strcmp(arg, "--chase")) {
      o->chase = std::sscanf(value, "%d,%d", &o->cursorX, &o->cursorY) == 2;
      if (!o->chase) return false;
    } else if (!std::strcmp(arg, "--text")) {
      o->text = std::atoi(value) != 0;
    } else if (!std::strcmp(arg, "--turret")) {
      o->turretYaw = float(std::atof(value));
    } else if (!std::strcmp(arg, "--elevation")) {
      o->gunElevation = float(std::atof(value));
    } else {
      return false;
    }
  }
  return true;
}

bool isBlank(video::IImage* image) {
  const core::dimension2du size = image->getDimension();
  for (u32 y = 0; y < size.Height; ++y) {
    for (u32 x = 0; x < size.Width; ++x) {
      const video::SColor c = image->getPixel(x, y);
      if (c.getRed() | c.getGreen() | c.getBlue()) return false;
    }
  }
  return true;
}

// Writes the front buffer to `path`; false, having said why, when it cannot.
bool screenshot(video::IVideoDriver* driver, const std::string& path) {
  video::IImage* shot = driver->createScreenShot();
  bool written = false;
  if (!shot || isBlank(shot)) {
    // Mesa's llvmpipe under Xvfb reads the front buffer back as black; softpipe does not.
    std::fprintf(stderr, "the front buffer reads back blank; try GALLIUM_DRIVER=softpipe\n");
  } else if (!(written = driver->writeImageToFile(shot, path.c_str()))) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
  }
  if (shot) shot->drop();
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: ferrox_viewer [--seconds S] [--frames N] [--screenshot PNG] "
                 "[--eye X,Y,Z] [--target X,Y,Z] [--chase X,Y] [--text 1] "
                 "[--turret DEG] [--elevation DEG]\n");
    return 2;
  }
  assets::enterMediaDirectory(assets::kGroundMesh);
  SIrrlichtCreationParameters params;
  params.DriverType = video::EDT_OPENGL;
  params.WindowSize = {kWidth, kHeight};
  params.Bits = kColourDepth;
  params.Fullscreen = o.chase;  // as the program asks; Xvfb gives a window all the same
  params.LoggingLevel = ELL_ERROR;
  IrrlichtDevice* device = createDeviceEx(params);
  if (!device) {
    std::fprintf(stderr, "cannot open an OpenGL window\n");
    return 1;
  }
  if (!assets::installAll(device).empty()) {
    std::fprintf(stderr, "../media is incomplete or damaged\n");
    device->drop();
    return 1;
  }
  Tank* tank = buildScene(device);
  tank->pause();  // a running tank's frame: no pause banner; the viewer never steps it anyway
  tank->turret.turretNode->setRotation({0, o.turretYaw, 0});
  tank->turret.canonPivot->setRotation({o.gunElevation, 0, 0});
  if (o.chase) {  // the camera as the program's receiver turns it for this cursor
    SEvent moved = {};
    moved.EventType = EET_MOUSE_INPUT_EVENT;
    moved.MouseInput.Event = EMIE_MOUSE_MOVED;
    moved.MouseInput.X = o.cursorX;
    moved.MouseInput.Y = o.cursorY;
    MyEventReceiver().OnEvent(moved);
  } else {  // a camera of our own, made the active one
    device->getSceneManager()
        ->addCameraSceneNode(nullptr, o.eye, o.target)
        ->setFarValue(kCameraFar);
  }
  Frame frame(device, o.text ? device->getGUIEnvironment()->getFont(assets::kFont) : nullptr);

  video::IVideoDriver* driver = device->getVideoDriver();
  ITimer* timer = device->getTimer();
  const u32 start = timer->getRealTime();
  int frames = 0;
  double elapsed = 0.0;
  while (device->run()) {
    frame.draw(*tank);
    frame.measure(driver->getFPS());
    ++frames;
    elapsed = (timer->getRealTime() - start) / 1000.0;
    if (frames >= o.frames && elapsed >= o.seconds) break;
  }
  std::printf("frames %d seconds %.3f fps %.2f\n", frames, elapsed,
              elapsed > 0.0 ? frames / elapsed : 0.0);

  const bool failed = !o.screenshot.empty() && !screenshot(driver, o.screenshot);
  device->drop();
  return failed ? 1 : 0;
}
