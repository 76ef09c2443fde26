// What the unit tests, the soak and the benchmarks share: a null device, a tank scene on
// it, the receiver driving it, and a finiteness check.
#pragma once

#include <irrlicht.h>

#include <cmath>
#include <memory>

#include "app/main.h"
#include "sim/Tank.h"

namespace support {

constexpr float k60Hz = 1.0f / 60.0f;    // s, a common frame
constexpr float kSettleSeconds = 10.0f;  // s: a new tank rests on its springs well before

// The engine's loaders and scene graph without a window; quiet.
inline irr::IrrlichtDevice* createNullDevice() {
  irr::SIrrlichtCreationParameters params;
  params.DriverType = irr::video::EDT_NULL;
  params.LoggingLevel = irr::ELL_NONE;
  return irr::createDeviceEx(params);
}

// A tank on an empty root node of a null device, driven as the frame loop drives it.
struct TankScene {
  explicit TankScene(bool started = true)
      : device(createNullDevice()), smgr(device->getSceneManager()) {
    root = smgr->addEmptySceneNode();
    tank = std::make_unique<Tank>(device, root);
    if (started) tank->pause();  // a new tank is paused
  }
  ~TankScene() {
    tank.reset();
    device->drop();
  }
  TankScene(const TankScene&) = delete;
  TankScene& operator=(const TankScene&) = delete;

  // Draw (which refreshes world positions), then step.
  void frame(float dt) {
    smgr->drawAll();
    tank->calculatePosition(dt);
  }
  void run(float seconds, float dt) {
    for (long i = 0, n = std::lround(seconds / dt); i < n; ++i) frame(dt);
  }
  void settle() { run(kSettleSeconds, k60Hz); }
  float mountHeight(int i) const { return tank->suspensionNodes[i]->getAbsolutePosition().Y; }

  irr::IrrlichtDevice* device;
  irr::scene::ISceneManager* smgr;
  irr::scene::ISceneNode* root;
  std::unique_ptr<Tank> tank;
};

// A tank scene whose tank and device are the program's global ones, which its receiver
// drives and reads the clock of.
struct DrivenScene : TankScene {
  explicit DrivenScene(bool started = true) : TankScene(started) {
    ::tank = tank.get();
    ::device = device;
  }
  ~DrivenScene() {
    ::tank = nullptr;
    ::device = nullptr;
    ::quit = false;
  }
  void key(irr::EKEY_CODE k, bool down) {
    irr::SEvent event = {};
    event.EventType = irr::EET_KEY_INPUT_EVENT;
    event.KeyInput.Key = k;
    event.KeyInput.PressedDown = down;
    receiver.OnEvent(event);
  }
  void press(irr::EKEY_CODE k) {
    key(k, true);
    key(k, false);
  }
  void point(int x, int y) {
    irr::SEvent event = {};
    event.EventType = irr::EET_MOUSE_INPUT_EVENT;
    event.MouseInput.Event = irr::EMIE_MOUSE_MOVED;
    event.MouseInput.X = x;
    event.MouseInput.Y = y;
    receiver.OnEvent(event);
  }

  MyEventReceiver receiver;
};

// Whether every node of the rig below `node` is finite: its own transform and the one drawing
// computed. What the engine, the turret, the springs or the hull's motion holds reaches them
// at the next step.
inline bool finiteRig(irr::scene::ISceneNode* node) {
  const irr::core::matrix4& world = node->getAbsoluteTransformation();
  for (int i = 0; i < 16; ++i)
    if (!std::isfinite(world[i])) return false;
  for (irr::scene::ISceneNode* child : node->getChildren())
    if (!finiteRig(child)) return false;
  for (const irr::core::vector3df& v : {node->getPosition(), node->getRotation(), node->getScale()})
    if (!std::isfinite(v.X) || !std::isfinite(v.Y) || !std::isfinite(v.Z)) return false;
  return true;
}

}  // namespace support
