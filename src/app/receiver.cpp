#include <irrlicht.h>

#include <cmath>
#include <string>

#include "app/main.h"
#include "sim/Tank.h"

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

// Where the game starts the cursor: a full turn round, so the camera stands behind the
// tank, and a row that lifts it that many degrees above the hull's plane.
constexpr irr::s32 kStartColumn = 360;  // px
constexpr irr::s32 kStartRow = 22;      // px

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

// One-shot keys: the command acts once per press of the key.
const struct {
  irr::EKEY_CODE key;
  void (Tank::*command)();
} kPressKeys[] = {
    {irr::KEY_KEY_Q, &Tank::setGearUp}, {irr::KEY_KEY_E, &Tank::setGearDown},
    {irr::KEY_SPACE, &Tank::pause},     {irr::KEY_KEY_C, &Tank::jump},
    {irr::KEY_KEY_R, &Tank::reset},
};

// One message of the engine's log on one line.
void writeLogLine(std::FILE* out, const char* text) {
  std::string line(text != nullptr ? text : "");
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  while (!line.empty() && line.back() == ' ') line.pop_back();
  std::fprintf(out, "ferrox: %s\n", line.c_str());
}

}  // namespace

MyEventReceiver::MyEventReceiver(std::FILE* log) : log_(log), down_() {}

bool MyEventReceiver::OnEvent(const irr::SEvent& event) {
  // The engine logs from its first moment on, before the tank exists.
  if (event.EventType == irr::EET_LOG_TEXT_EVENT) {
    writeLogLine(log_, event.LogEvent.Text);
    return true;  // the engine prints nothing more
  }
  if (tank == nullptr) return false;  // still starting up

  if (event.EventType == irr::EET_MOUSE_INPUT_EVENT &&
      event.MouseInput.Event == irr::EMIE_MOUSE_MOVED) {
    // Vertical position pitches the camera, horizontal position turns it.
    tank->rotateCamera(cameraPitch(event.MouseInput.Y), static_cast<float>(event.MouseInput.X));
    return true;
  }
  if (event.EventType != irr::EET_KEY_INPUT_EVENT) return false;
  keysSinceFocusLoss_ = true;

  const irr::SEvent::SKeyInput& key = event.KeyInput;
  if (key.Key == irr::KEY_ESCAPE) {
    quit = true;  // on the key-up as well
    return true;
  }
  if (key.Key < 0 || key.Key >= irr::KEY_KEY_CODES_COUNT) return false;
  // A key held down repeats its key-down (the window system's autorepeat) until its key-up.
  const bool repeat = key.PressedDown && down_[key.Key];
  down_[key.Key] = key.PressedDown;

  if (key.Key == irr::KEY_F1) {
    if (key.PressedDown && !repeat) keysShown_ = !keysShown_;
    return true;
  }
  if (key.Key == irr::KEY_KEY_M) {
    if (key.PressedDown && !repeat) muted_ = !muted_;
    return true;
  }
  for (const auto& held : kHeldKeys) {
    if (held.key != key.Key) continue;
    (tank->*held.command)(key.PressedDown);
    return true;
  }
  for (const auto& press : kPressKeys) {
    if (press.key != key.Key) continue;
    if (key.PressedDown && !repeat) (tank->*press.command)();
    return true;
  }
  return false;
}

bool MyEventReceiver::attend(bool focused, bool minimized) {
  if (focused) everFocused_ = true;
  if (focused_ && !focused) keysSinceFocusLoss_ = false;
  focused_ = focused;
  const bool inUse = !minimized && (focused || !everFocused_ || keysSinceFocusLoss_);
  if (inUse_ && !inUse) release();
  inUse_ = inUse;
  return inUse;
}

void MyEventReceiver::release() {
  for (bool& down : down_) down = false;
  if (tank == nullptr) return;
  for (const auto& held : kHeldKeys) (tank->*held.command)(false);
}

void MyEventReceiver::placeCursor(irr::gui::ICursorControl* cursor) {
  if (cursor != nullptr) cursor->setPosition(kStartColumn, kStartRow);
  irr::SEvent moved = {};
  moved.EventType = irr::EET_MOUSE_INPUT_EVENT;
  moved.MouseInput.Event = irr::EMIE_MOUSE_MOVED;
  moved.MouseInput.X = kStartColumn;
  moved.MouseInput.Y = kStartRow;
  OnEvent(moved);
}
