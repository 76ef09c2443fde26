#include "main.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>

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

const char* const kGroundMesh = "../media/env/mark2.3ds";
const char* const kGroundTexture = "../media/env/sand3.jpg";
const char* const kSkyUp = "../media/skybox/dream_up.jpg";
const char* const kSkyDown = "../media/skybox/dream_dn.jpg";
const char* const kSkyRight = "../media/skybox/dream_rt.jpg";
const char* const kSkyLeft = "../media/skybox/dream_lt.jpg";
const char* const kSkyFront = "../media/skybox/dream_ft.jpg";
const char* const kSkyBack = "../media/skybox/dream_bk.jpg";
const char* const kCubeTexture = "../media/brickwall.jpg";
const char* const kFont = "../media/fontkorvenblatt.bmp";

enum class AssetKind { Mesh, Texture, Font };
struct Asset {
  const char* path;
  AssetKind kind;
};

// Everything the world and the tank load; checked before anything is built.
const Asset kAssets[] = {
    {kGroundMesh, AssetKind::Mesh},
    {kGroundTexture, AssetKind::Texture},
    {kSkyUp, AssetKind::Texture},
    {kSkyDown, AssetKind::Texture},
    {kSkyRight, AssetKind::Texture},
    {kSkyLeft, AssetKind::Texture},
    {kSkyFront, AssetKind::Texture},
    {kSkyBack, AssetKind::Texture},
    {kCubeTexture, AssetKind::Texture},
    {kFont, AssetKind::Font},
    {Tank::kChassisMesh, AssetKind::Mesh},
    {Tank::kTrackMesh, AssetKind::Mesh},
    {Tank::kWheelMesh, AssetKind::Mesh},
    {turret::Turret::kTurretMesh, AssetKind::Mesh},
    {turret::Turret::kCanonMesh, AssetKind::Mesh},
    {Tank::kChassisTexture, AssetKind::Texture},
    {Tank::kWheelTexture, AssetKind::Texture},
    {Tank::kTrackTexture, AssetKind::Texture},
};

// A regular file that opens. Anything else in its place (a directory, a pipe) would reach
// the engine's loaders, which crash on a directory and would wait forever on a pipe.
bool readable(const char* path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) &&
         std::ifstream(path, std::ios::binary).good();
}

// Cheap checks that refuse a cut or foreign file before the engine sees it: its JPEG
// loader reads past the end of a cut file (and crashes in libjpeg), and it loads whatever
// chunks a cut 3DS file still holds, or a BMP missing pixel rows, and calls it success.
using Bytes = std::vector<unsigned char>;

constexpr std::size_t kChunkHeader = 6;  // bytes: 16-bit id, 32-bit length (header included)
constexpr unsigned kMainChunk = 0x4D4D;
constexpr unsigned kObjectChunk = 0x4000;   // a NUL-terminated name, then chunks
constexpr int kMaxChunkDepth = 8;           // deeper than any mesh nests its chunks
constexpr std::size_t kBmpHeaders = 54;     // bytes: file header and information header
constexpr std::uint32_t kBmpRgb = 0;        // uncompressed
constexpr std::uint32_t kBmpBitFields = 3;  // uncompressed, with colour masks
constexpr unsigned char kJpegMarker = 0xFF;
constexpr unsigned char kJpegStart = 0xD8;  // after a marker: start of image
constexpr unsigned char kJpegEnd = 0xD9;    // after a marker: end of image

unsigned readU16(const Bytes& bytes, std::size_t at) {
  return static_cast<unsigned>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t readU32(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

bool isContainer(unsigned id) {
  switch (id) {
    case kMainChunk:           // the file
    case 0x3D3D:               // the scene
    case kObjectChunk:         // one named object
    case 0x4100:               // its triangle mesh
    case 0xAFFF:               // a material
    case 0xB000: return true;  // the key frames
  }
  return false;
}

// The chunks in [begin, end) follow one another without gap or overlap, and so do the
// chunks inside every container among them.
bool chunksTile(const Bytes& bytes, std::size_t begin, std::size_t end, int depth) {
  if (depth > kMaxChunkDepth) return false;
  while (begin < end) {
    if (end - begin < kChunkHeader) return false;
    const unsigned id = readU16(bytes, begin);
    const std::size_t length = readU32(bytes, begin + 2);
    if (length < kChunkHeader || length > end - begin) return false;
    if (isContainer(id)) {
      std::size_t first = begin + kChunkHeader;
      if (id == kObjectChunk) {
        while (first < begin + length && bytes[first] != 0) ++first;
        if (first == begin + length) return false;
        ++first;
      }
      if (!chunksTile(bytes, first, begin + length, depth + 1)) return false;
    }
    begin += length;
  }
  return true;
}

bool whole3ds(const Bytes& bytes) {
  return bytes.size() >= kChunkHeader && readU16(bytes, 0) == kMainChunk &&
         readU32(bytes, 2) == bytes.size() && chunksTile(bytes, 0, bytes.size(), 0);
}

// "BM", and for an uncompressed image every pixel row the header promises.
bool wholeBmp(const Bytes& bytes) {
  if (bytes.size() < kBmpHeaders || bytes[0] != 'B' || bytes[1] != 'M') return false;
  const std::uint64_t offset = readU32(bytes, 10);
  const auto width = static_cast<std::int32_t>(readU32(bytes, 18));
  const auto height = static_cast<std::int32_t>(readU32(bytes, 22));
  const std::uint64_t bits = readU16(bytes, 28);
  const std::uint32_t compression = readU32(bytes, 30);
  if (width <= 0 || height == 0 || offset >= bytes.size()) return false;
  if (compression != kBmpRgb && compression != kBmpBitFields) return true;
  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
  const auto rows = static_cast<std::uint64_t>(std::llabs(height));  // negative: top down
  return offset + rowBytes * rows <= bytes.size();
}

// Starts with the start-of-image marker and ends with the end-of-image marker.
bool wholeJpeg(const Bytes& bytes) {
  const std::size_t n = bytes.size();
  return n >= 4 && bytes[0] == kJpegMarker && bytes[1] == kJpegStart &&
         bytes[n - 2] == kJpegMarker && bytes[n - 1] == kJpegEnd;
}

bool intact(const Asset& asset) {
  std::ifstream file(asset.path, std::ios::binary);
  const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  switch (asset.kind) {
    case AssetKind::Mesh: return whole3ds(bytes);
    case AssetKind::Texture: return wholeJpeg(bytes);
    case AssetKind::Font: return wholeBmp(bytes);
  }
  return false;
}

bool loads(irr::IrrlichtDevice* dev, const Asset& asset) {
  switch (asset.kind) {
    case AssetKind::Mesh: return dev->getSceneManager()->getMesh(asset.path) != nullptr;
    case AssetKind::Texture: return dev->getVideoDriver()->getTexture(asset.path) != nullptr;
    case AssetKind::Font: return dev->getGUIEnvironment()->getFont(asset.path) != nullptr;
  }
  return false;
}

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

std::vector<std::string> brokenAssets(irr::IrrlichtDevice* dev) {
  std::vector<std::string> broken;
  for (const Asset& asset : kAssets) {
    if (!readable(asset.path) || (dev != nullptr && (!intact(asset) || !loads(dev, asset))))
      broken.push_back(asset.path);
  }
  return broken;
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
  const std::vector<std::string> missing = brokenAssets(nullptr);
  for (const std::string& path : missing)
    std::fprintf(stderr, "ferrox: cannot read %s\n", path.c_str());
  if (!missing.empty()) return 1;

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

  const std::vector<std::string> unloadable = brokenAssets(device);
  if (!unloadable.empty()) {
    for (const std::string& path : unloadable)
      std::fprintf(stderr, "ferrox: cannot load %s\n", path.c_str());
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
