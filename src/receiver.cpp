#include <irrlicht.h>

#include "Tank.h"
#include "main.h"

irr::IrrlichtDevice* device = nullptr;
bool quit = false;
Tank* tank = nullptr;

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
