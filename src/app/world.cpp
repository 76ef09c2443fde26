#include "app/world.h"

#include <cwchar>

#include "app/instruments.h"
#include "app/main.h"
#include "app/overlay.h"
#include "app/recorder.h"
#include "app/replay.h"
#include "app/sound.h"
#include "app/xwindow.h"
#include "assets/catalog.h"
#include "sim/Tank.h"
#include "sim/cache.h"

namespace {

using irr::core::vector3df;
using namespace assets;

constexpr float kGroundScale = 10.0f;
constexpr int kCubeCount = 50;
constexpr int kCubeSpacing = 10;   // m along +Z
constexpr float kCubeSize = 1.0f;  // m
constexpr float kCubeX = 5.0f;     // m
constexpr float kCubeY = 1.0f;     // m
constexpr double kKmhPerMps = 3.6;
// While the window is out of use the loop looks for events this often: a signal or the
// window's return is answered at once, and the waiting costs next to nothing.
constexpr irr::u32 kWaitStep = 50;  // ms
// The engine counts frames in windows of 1.5 s: the one that spans a wait ends within
// that after it, and the next one is whole by twice that.
constexpr irr::u32 kRateSettling = 3200;  // ms

const irr::video::SColor kClearColour(250, 90, 90, 156);
const irr::video::SColor kStatusColour(255, 255, 255, 255);
using overlay::kStatusRect;

void buildWorld(irr::scene::ISceneManager* smgr, irr::video::IVideoDriver* driver) {
  irr::scene::IAnimatedMeshSceneNode* ground =
      smgr->addAnimatedMeshSceneNode(cache::mesh(smgr, kGroundMesh), nullptr, -1,
                                     vector3df(0, 0, 0), vector3df(0, 0, 0), vector3df(1, 1, 1));
  ground->setMaterialFlag(irr::video::EMF_LIGHTING, false);
  ground->setMaterialTexture(0, cache::texture(driver, kGroundTexture));
  ground->setScale(vector3df(kGroundScale, kGroundScale, kGroundScale));

  // The left face shows the _rt image and the right face the _lt one.
  smgr->addSkyBoxSceneNode(cache::texture(driver, kSkyUp), cache::texture(driver, kSkyDown),
                           cache::texture(driver, kSkyRight), cache::texture(driver, kSkyLeft),
                           cache::texture(driver, kSkyFront), cache::texture(driver, kSkyBack),
                           nullptr, -1);

  for (int i = 0; i < kCubeCount; ++i) {
    irr::scene::ISceneNode* cube = smgr->addCubeSceneNode(
        kCubeSize, nullptr, -1, vector3df(0, 0, 0), vector3df(0, 0, 0), vector3df(1, 1, 1));
    cube->setPosition(vector3df(kCubeX, kCubeY, static_cast<float>(kCubeSpacing * i)));
    cube->setMaterialTexture(0, cache::texture(driver, kCubeTexture));
    // Lit by nothing, the default lit material would draw the bricks black.
    cube->setMaterialFlag(irr::video::EMF_LIGHTING, false);
  }
}

// Keeps a formatted wide text terminated even when the formatter had to cut it.
template <std::size_t N>
void terminate(wchar_t (&text)[N]) {
  text[N - 1] = L'\0';
}

}  // namespace

Tank* buildScene(irr::IrrlichtDevice* device) {
  irr::scene::ISceneManager* smgr = device->getSceneManager();
  irr::scene::ISceneNode* tankRoot = smgr->addEmptySceneNode(nullptr, -1);
  tankRoot->setPosition(vector3df(0, 0, 0));
  tank = new Tank(device, tankRoot);
  buildWorld(smgr, device->getVideoDriver());
  return tank;
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

Frame::Frame(irr::IrrlichtDevice* device, irr::gui::IGUIFont* font)
    : device_(device),
      driver_(device->getVideoDriver()),
      smgr_(device->getSceneManager()),
      font_(font) {}

void Frame::draw(const Tank& tank) {
  driver_->beginScene(true, true, kClearColour);
  smgr_->drawAll();
  formatStatus(status_, tank.engine.getGear(), tank.engine.getSpeed(), fps_);
  if (font_ != nullptr) font_->draw(status_, kStatusRect, kStatusColour, false, false, nullptr);
  banner_ = overlay::banner(tank.paused);
  hint_ = overlay::gearHint(tank.engine.getGear());
  noteShown_ = note_.text(device_->getTimer()->getRealTime());
  if (font_ != nullptr) {
    if (instrumentsShown_) instruments::draw(driver_, font_, tank.engine);
    if (hint_ != nullptr) overlay::drawHint(driver_, font_, hint_);
    if (noteShown_ != nullptr) overlay::drawNote(driver_, font_, noteShown_);
    if (banner_ != nullptr) overlay::drawBanner(driver_, font_, banner_);
    if (keysShown_) overlay::drawKeysPanel(driver_, font_, *keys_);
  }
  driver_->endScene();
}

void Frame::cue(const cues::Pending& pending) {
  const irr::u32 now = device_->getTimer()->getRealTime();
  if (pending.reset) note_.raise(cues::kReset, now);
  if (pending.refused != nullptr) note_.raise(pending.refused, now);
}

bool Frame::measure(int rate) {
  fps_ = rate;
  if (fps_ == lastFPS_) return false;
  wchar_t caption[kCaptionLength];
  formatCaption(caption, driver_->getName(), fps_);
  device_->setWindowCaption(caption);
  lastFPS_ = fps_;
  return true;
}

void Frame::advance(Tank& tank, int rate) {
  measure(rate);
  if (player_ != nullptr) {
    const irr::u32 now = device_->getTimer()->getRealTime();
    if (playedAt_ != 0) player_->play(tank, (now - playedAt_) / 1000.0);
    playedAt_ = now != 0 ? now : 1;
    return;
  }
  const float step = fps_ != 0 ? 1.0f / static_cast<float>(fps_) : 0.0f;  // s
  if (step != 0.0f) tank.calculatePosition(step);
  if (recorder_ != nullptr) recorder_->frame(step, tank);
}

void Frame::pass(Tank& tank) {
  draw(tank);
  int rate = driver_->getFPS();
  if (resumed_) {
    if (device_->getTimer()->getRealTime() - resumedAt_ < kRateSettling)
      rate = fps_;
    else
      resumed_ = false;
  }
  advance(tank, rate);
}

void Frame::resume() {
  resumed_ = true;
  resumedAt_ = device_->getTimer()->getRealTime();
}

void runFrameLoop(irr::IrrlichtDevice* device, Frame& frame, Tank& tank, MyEventReceiver& receiver,
                  Sound& sound) {
  bool waiting = false;  // the last pass only waited, drawing nothing
  while (device->run() && stopSignal == 0 && !xwindow::gone(waiting)) {
    if (!receiver.attend(device->isWindowFocused(), device->isWindowMinimized())) {
      if (quit) break;
      waiting = true;
      sound.hold();
      device->sleep(kWaitStep);
      continue;
    }
    if (waiting) frame.resume();
    waiting = false;
    receiver.expirePads();
    frame.showKeys(receiver.keysShown());
    frame.showInstruments(receiver.instrumentsShown());
    const cues::Pending cues = receiver.takeCues();
    frame.cue(cues);
    frame.pass(tank);
    sound.play(tank, receiver.muted(), cues);
    if (quit) break;
  }
}
