#include "main.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>

#include "MediaDirs.h"
#include "Tank.h"

irr::IrrlichtDevice* device = nullptr;
bool quit = false;
Tank* tank = nullptr;

namespace {

using irr::core::dimension2d;
using irr::core::rect;
using irr::core::vector3df;
using irr::video::SColor;

constexpr irr::u32 kWindowWidth = 1024;  // px
constexpr irr::u32 kWindowHeight = 768;  // px
constexpr irr::u8 kColourDepth = 32;     // bits per pixel
constexpr float kGroundScale = 10.0f;
constexpr int kCubeCount = 50;
constexpr int kCubeSpacing = 10;   // m along +Z
constexpr float kCubeSize = 1.0f;  // m
constexpr float kCubeX = 5.0f;     // m
constexpr float kCubeY = 1.0f;     // m
constexpr double kKmhPerMps = 3.6;

// The camera swings 10 m round the hull, one degree per pixel. A pitch near 0 or 180
// degrees puts it at the hull's height and beyond those under the ground, so the pitch folds
// back (reflects) this far short of them: a continuous zigzag of slope one, and the pitch
// equals the row wherever the camera was above the ground anyway.
constexpr float kCameraMargin = 8.0f;  // deg above the horizontal, at either side
constexpr float kHalfTurn = 180.0f;    // deg

const SColor kClearColour(250, 90, 90, 156);
const SColor kStatusColour(255, 255, 255, 255);
const rect<irr::s32> kStatusRect(10, 10, 300, 50);  // px

// The camera's pitch for a cursor row: the row folded into [margin, 180 - margin].
float cameraPitch(irr::s32 row) {
  const double span = kHalfTurn - 2.0 * kCameraMargin;  // deg from one fold to the next
  double t = std::fmod(row - static_cast<double>(kCameraMargin), 2.0 * span);
  if (t < 0) t += 2.0 * span;
  return static_cast<float>(kCameraMargin + (t <= span ? t : 2.0 * span - t));
}

// Keeps a formatted wide text terminated even when the formatter had to cut it.
template <std::size_t N>
void terminate(wchar_t (&text)[N]) {
  text[N - 1] = L'\0';
}

}  // namespace

MyEventReceiver::MyEventReceiver() = default;

bool MyEventReceiver::OnEvent(const irr::SEvent& event) {
  if (tank == nullptr) return false;  // still starting up

  if (event.EventType == irr::EET_MOUSE_INPUT_EVENT &&
      event.MouseInput.Event == irr::EMIE_MOUSE_MOVED) {
    // Vertical position pitches the camera, horizontal position turns it.
    tank->rotateCamera(cameraPitch(event.MouseInput.Y), static_cast<float>(event.MouseInput.X));
    return true;
  }
  if (event.EventType != irr::EET_KEY_INPUT_EVENT) return false;

  const bool down = event.KeyInput.PressedDown;
  switch (event.KeyInput.Key) {
    // Held keys follow the key.
    case irr::KEY_KEY_W: tank->accelerate(down); break;
    case irr::KEY_KEY_S: tank->breaking(down); break;
    case irr::KEY_KEY_A: tank->turnLeft(down); break;
    case irr::KEY_KEY_D: tank->turnRight(down); break;
    case irr::KEY_KEY_J: tank->turnTurretLeft(down); break;
    case irr::KEY_KEY_L: tank->turnTurretRight(down); break;
    case irr::KEY_KEY_I: tank->elevateTurretUpp(down); break;
    case irr::KEY_KEY_K: tank->elevateTurretDown(down); break;
    case irr::KEY_KEY_V: tank->shoot(down); break;
    // Press keys act once per key-down the engine delivers.
    case irr::KEY_KEY_Q:
      if (down) tank->setGearUp();
      break;
    case irr::KEY_KEY_E:
      if (down) tank->setGearDown();
      break;
    case irr::KEY_SPACE:
      if (down) tank->pause();
      break;
    case irr::KEY_KEY_C:
      if (down) tank->jump();
      break;
    case irr::KEY_KEY_R:
      if (down) tank->reset();
      break;
    case irr::KEY_ESCAPE: quit = true; break;
    default: return false;
  }
  return true;
}

void formatStatus(wchar_t (&text)[kStatusLength], int gear, double speed, int fps) {
  std::swprintf(text, kStatusLength, L"Gear: %d | Speed: %.2f km/h | FPS: %d", gear,
                speed * kKmhPerMps, fps);
  terminate(text);
}

void formatCaption(wchar_t (&text)[kCaptionLength], const wchar_t* driverName, int fps) {
  // %ls: the driver's name is a wide string.
  std::swprintf(text, kCaptionLength, L"Ferrox | (%ls) (fps: %d)", driverName, fps);
  terminate(text);
}

bool refreshCaption(irr::IrrlichtDevice* dev, int fps, int& lastFPS) {
  if (fps == lastFPS) return false;
  wchar_t caption[kCaptionLength];
  formatCaption(caption, dev->getVideoDriver()->getName(), fps);
  dev->setWindowCaption(caption);
  lastFPS = fps;
  return true;
}

void enterMediaDirectory() {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path here = fs::current_path(error);
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  const fs::path exeDir = error ? fs::path() : exe.parent_path();
  const std::vector<fs::path> candidates = media::workingDirCandidates(here, exeDir);
  const fs::path home = media::firstHolding(candidates, kGroundMesh);
  if (home == here) return;
  if (home.empty()) {
    // Found nowhere: say where we looked, then, from beside the program, the missing files
    // are named as the source tree names them.
    std::string tried;
    for (const fs::path& dir : candidates)
      tried += " " + (dir / ".." / "media").lexically_normal().string();
    std::fprintf(stderr, "ferrox: no media found in:%s\n", tried.c_str());
  }
  fs::current_path(home.empty() ? exeDir : home, error);
}

#ifndef FERROX_NO_ENTRY_POINT
namespace {

// Why the window could not be opened, as far as we can tell from here.
std::string windowFailureReason() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') return "DISPLAY is not set";
  return std::string("no X server or no OpenGL on display ") + display;
}

void buildWorld(irr::scene::ISceneManager* smgr, irr::video::IVideoDriver* driver) {
  irr::scene::IAnimatedMeshSceneNode* ground =
      smgr->addAnimatedMeshSceneNode(smgr->getMesh(kGroundMesh), nullptr, -1, vector3df(0, 0, 0),
                                     vector3df(0, 0, 0), vector3df(1, 1, 1));
  ground->setMaterialFlag(irr::video::EMF_LIGHTING, false);
  ground->setMaterialTexture(0, driver->getTexture(kGroundTexture));
  ground->setScale(vector3df(kGroundScale, kGroundScale, kGroundScale));

  // The left face shows the _rt image and the right face the _lt one.
  smgr->addSkyBoxSceneNode(driver->getTexture(kSkyUp), driver->getTexture(kSkyDown),
                           driver->getTexture(kSkyRight), driver->getTexture(kSkyLeft),
                           driver->getTexture(kSkyFront), driver->getTexture(kSkyBack), nullptr,
                           -1);

  irr::scene::ISceneNode* cubes[kCubeCount];
  for (int i = 0; i < kCubeCount; ++i) {
    cubes[i] = smgr->addCubeSceneNode(kCubeSize, nullptr, -1, vector3df(0, 0, 0),
                                      vector3df(0, 0, 0), vector3df(1, 1, 1));
    cubes[i]->setPosition(vector3df(kCubeX, kCubeY, static_cast<float>(kCubeSpacing * i)));
    cubes[i]->setMaterialTexture(0, driver->getTexture(kCubeTexture));
    // Lit by nothing, the default lit material would draw the bricks black.
    cubes[i]->setMaterialFlag(irr::video::EMF_LIGHTING, false);
  }
}

}  // namespace

int main() {
  // Start-up.
  enterMediaDirectory();
  AssetFiles assets;  // each read once, here; the engine gets these bytes
  const std::vector<std::string> missing = assets.read();
  for (const std::string& path : missing)
    std::fprintf(stderr, "ferrox: cannot read %s\n", path.c_str());
  if (!missing.empty()) return 1;
  const std::vector<std::string> damaged = assets.check();
  for (const std::string& refusal : damaged)
    std::fprintf(stderr, "ferrox: cannot load %s\n", refusal.c_str());
  if (!damaged.empty()) return 1;

  MyEventReceiver receiver;
  device =
      irr::createDevice(irr::video::EDT_OPENGL, dimension2d<irr::u32>(kWindowWidth, kWindowHeight),
                        kColourDepth, true, false, false, &receiver);
  if (device == nullptr) {
    std::fprintf(stderr, "ferrox: could not open the window: %s\n", windowFailureReason().c_str());
    return 1;
  }
  irr::video::IVideoDriver* driver = device->getVideoDriver();
  irr::scene::ISceneManager* smgr = device->getSceneManager();

  const std::vector<std::string> unloadable = assets.load(device);
  if (!unloadable.empty()) {
    for (const std::string& refusal : unloadable)
      std::fprintf(stderr, "ferrox: cannot load %s\n", refusal.c_str());
    device->drop();
    return 1;
  }

  irr::scene::ISceneNode* tankRoot = smgr->addEmptySceneNode(nullptr, -1);
  tankRoot->setPosition(vector3df(0, 0, 0));
  tank = new Tank(device, tankRoot);  // from here on the receiver drives it

  buildWorld(smgr, driver);
  irr::gui::IGUIFont* font = device->getGUIEnvironment()->getFont(kFont);
  device->getCursorControl()->setVisible(true);
  int fps = 0;
  int lastFPS = -1;
  wchar_t status[kStatusLength];

  // Frame loop: draw, show the status, then step by the last frame's length.
  while (device->run()) {
    driver->beginScene(true, true, kClearColour);
    smgr->drawAll();
    formatStatus(status, tank->engine.getGear(), tank->engine.getSpeed(), fps);
    font->draw(status, kStatusRect, kStatusColour, false, false, nullptr);
    driver->endScene();

    fps = driver->getFPS();
    refreshCaption(device, fps, lastFPS);
    if (fps != 0) tank->calculatePosition(1.0f / static_cast<float>(fps));
    if (quit) break;
  }

  // Shutdown: the engine owns the scene; the tank lives until the process ends.
  device->drop();
  return 0;
}
#endif
