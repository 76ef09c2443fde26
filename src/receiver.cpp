#include <irrlicht.h>

#include "Tank.h"
#include "main.h"

irr::IrrlichtDevice* device = nullptr;
bool quit = false;
Tank* tank = nullptr;

namespace {

// Held keys: the command takes true while the key is down.
const struct {
  irr::EKEY_CODE key;
  void (Tank::*command)(bool);
} kHeldKeys[] = {
    {irr::KEY_KEY_W, &Tank::accelerate},
    {irr::KEY_KEY_S, &Tank::breaking},
    {irr::KEY_KEY_A, &Tank::turnLeft},
    {irr::KEY_KEY_D, &Tank::turnRight},
    {irr::KEY_KEY_J, &Tank::turnTurretLeft},
    {irr::KEY_KEY_L, &Tank::turnTurretRight},
    {irr::KEY_KEY_I, &Tank::elevateTurretUpp},
    {irr::KEY_KEY_K, &Tank::elevateTurretDown},
    {irr::KEY_KEY_V, &Tank::shoot},
};

// One-shot keys: the command acts once per key-down the engine delivers.
const struct {
  irr::EKEY_CODE key;
  void (Tank::*command)();
} kPressKeys[] = {
    {irr::KEY_KEY_Q, &Tank::setGearUp}, {irr::KEY_KEY_E, &Tank::setGearDown},
    {irr::KEY_SPACE, &Tank::pause},     {irr::KEY_KEY_C, &Tank::jump},
    {irr::KEY_KEY_R, &Tank::reset},
};

}  // namespace

MyEventReceiver::MyEventReceiver() = default;

bool MyEventReceiver::OnEvent(const irr::SEvent& event) {
  if (tank == nullptr) return false;  // still starting up

  if (event.EventType == irr::EET_MOUSE_INPUT_EVENT &&
      event.MouseInput.Event == irr::EMIE_MOUSE_MOVED) {
    // Vertical position pitches the camera, horizontal position turns it.
    tank->rotateCamera(static_cast<float>(event.MouseInput.Y),
                       static_cast<float>(event.MouseInput.X));
    return true;
  }
  if (event.EventType != irr::EET_KEY_INPUT_EVENT) return false;

  const irr::SEvent::SKeyInput& key = event.KeyInput;
  if (key.Key == irr::KEY_ESCAPE) {
    quit = true;  // on the key-up as well
    return true;
  }
  for (const auto& held : kHeldKeys) {
    if (held.key != key.Key) continue;
    (tank->*held.command)(key.PressedDown);
    return true;
  }
  for (const auto& press : kPressKeys) {
    if (press.key != key.Key) continue;
    if (key.PressedDown) (tank->*press.command)();
    return true;
  }
  return false;
}
