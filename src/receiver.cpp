#include <irrlicht.h>

#include <cmath>

#include "Tank.h"
#include "main.h"

irr::IrrlichtDevice* device = nullptr;
bool quit = false;
Tank* tank = nullptr;

namespace {

// The camera swings 10 m round the hull, one degree per pixel. A pitch near 0 or 180
// degrees puts it at the hull's height and beyond those under the ground, so the pitch folds
// back (reflects) this far short of them: a continuous zigzag of slope one, and the pitch
// equals the row wherever the camera was above the ground anyway.
constexpr float kCameraMargin = 8.0f;  // deg above the horizontal, at either side
constexpr float kHalfTurn = 180.0f;    // deg

// The camera's pitch for a cursor row: the row folded into [margin, 180 - margin].
float cameraPitch(irr::s32 row) {
  const double span = kHalfTurn - 2.0 * kCameraMargin;  // deg from one fold to the next
  double t = std::fmod(row - static_cast<double>(kCameraMargin), 2.0 * span);
  if (t < 0) t += 2.0 * span;
  return static_cast<float>(kCameraMargin + (t <= span ? t : 2.0 * span - t));
}

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
    tank->rotateCamera(cameraPitch(event.MouseInput.Y), static_cast<float>(event.MouseInput.X));
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
