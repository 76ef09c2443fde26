#include <irrlicht.h>

#include <cmath>
#include <cstring>
#include <string>

#include "app/main.h"
#include "app/recorder.h"
#include "app/replay.h"
#include "sim/Tank.h"

irr::IrrlichtDevice* device = nullptr;
bool quit = false;
Tank* tank = nullptr;

namespace {

// The camera swings 10 m round the hull, one degree per pixel: the cursor's row is the
// camera's pitch in degrees, modulo a full turn, and its column the yaw. Tank::rotateCamera
// keeps that pitch exactly wherever it leaves the camera at least Tank::kCameraFreeHeight
// (2 m) above the ground. Only the rows whose pitch would take it lower fold back over the
// top instead: on a tank at rest, rows 0-12, 168-372 and 528-732 (pitches from 168 round
// to 12 degrees). Row 0 turns the camera to 21 degrees, row 270 to 90 and row 600 to 113;
// every other row is its own pitch (row 400: 40 degrees). And within 54 degrees of the top
// (rows 37-143 and their like) the view's up leans aside, so that the picture rolls over
// across those rows instead of spinning at row 90; elsewhere up is the world's.
constexpr float kFullTurn = 360.0f;  // deg

// The camera's pitch for a cursor row, in [0, 360).
float cameraPitch(double row) {
  const double pitch = std::fmod(row, static_cast<double>(kFullTurn));  // deg
  return static_cast<float>(pitch < 0 ? pitch + kFullTurn : pitch);
}

// Where the game starts the cursor: a full turn round, so the camera stands behind the
// tank, and a row that lifts it that many degrees above the hull's plane.
constexpr irr::s32 kStartColumn = 360;  // px
constexpr irr::s32 kStartRow = 22;      // px

// Held commands, in the order of the settings' commands (whose keys drive them): the
// command takes true while the key is down or a pad holds it (the pad's Hold bit; 0 where
// no pad does).
const struct {
  unsigned pad;
  void (Tank::*command)(bool);
} kHeldKeys[] = {
    {gamepad::kThrottle, &Tank::accelerate},
    {gamepad::kBrake, &Tank::breaking},
    {gamepad::kSteerLeft, &Tank::turnLeft},
    {gamepad::kSteerRight, &Tank::turnRight},
    {0, &Tank::turnTurretLeft},
    {0, &Tank::turnTurretRight},
    {0, &Tank::elevateTurretUpp},
    {0, &Tank::elevateTurretDown},
    {gamepad::kFire, &Tank::shoot},
};
static_assert(sizeof kHeldKeys / sizeof kHeldKeys[0] == MyEventReceiver::kHeldCommands);
static_assert(MyEventReceiver::kHeldCommands == assets::command::kHeld);

// One-shot commands, after the held ones: each acts once per press of its key or of a
// pad's button (the pad's Press bit).
const struct {
  unsigned pad;
  void (Tank::*command)();
} kPressKeys[] = {
    {gamepad::kGearUp, &Tank::setGearUp}, {gamepad::kGearDown, &Tank::setGearDown},
    {gamepad::kPause, &Tank::pause},      {gamepad::kJump, &Tank::jump},
    {gamepad::kReset, &Tank::reset},
};
static_assert(sizeof kPressKeys / sizeof kPressKeys[0] == MyEventReceiver::kPressCommands);
static_assert(MyEventReceiver::kPressCommands == assets::command::kTankPresses);

// The engine's clock, which each run of the device ticks: every event of one run reads the
// same time.
irr::u32 now() { return device != nullptr ? device->getTimer()->getTime() : 0; }

// `angle` brought into [0, period).
float wrap(float angle, float period) {
  const float wrapped = std::fmod(angle, period);
  return wrapped < 0.0f ? wrapped + period : wrapped;
}

// One message of the engine's log on one line.
void writeLogLine(std::FILE* out, const char* text) {
  std::string line(text != nullptr ? text : "");
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  while (!line.empty() && line.back() == ' ') line.pop_back();
  std::fprintf(out, "ferrox: %s\n", line.c_str());
}

// The engine's two warnings when the X server cannot switch video modes for the full screen.
bool aboutFullScreen(const char* text) {
  return text != nullptr && std::strncmp(text, "VidMode or RandR", 16) == 0;
}

}  // namespace

MyEventReceiver::MyEventReceiver(std::FILE* log) : log_(log), down_(), held_() {}

bool MyEventReceiver::OnEvent(const irr::SEvent& event) {
  // The engine logs from its first moment on, before the tank exists.
  if (event.EventType == irr::EET_LOG_TEXT_EVENT) {
    if (fullScreenWarnings_ || !aboutFullScreen(event.LogEvent.Text))
      writeLogLine(log_, event.LogEvent.Text);
    return true;  // the engine prints nothing more
  }
  if (tank == nullptr) return false;  // still starting up

  if (event.EventType == irr::EET_MOUSE_INPUT_EVENT &&
      event.MouseInput.Event == irr::EMIE_MOUSE_MOVED) {
    cursorX_ = event.MouseInput.X;
    cursorY_ = event.MouseInput.Y;
    aimCamera();
    return true;
  }
  if (event.EventType == irr::EET_JOYSTICK_INPUT_EVENT) {
    const gamepad::Reading reading = pads_.read(event.JoystickEvent, now(), inUse_);
    holdCommands();
    for (int i = 0; i < kPressCommands; ++i)
      if (reading.presses & kPressKeys[i].pad) press(i);
    if (reading.yaw != 0.0f || reading.rise != 0.0f) {
      const float scale = static_cast<float>(sensitivity_);  // as the mouse's pixels
      padYaw_ = wrap(padYaw_ + scale * reading.yaw, kFullTurn);
      padRise_ = wrap(padRise_ + static_cast<float>(lookSign_) * scale * reading.rise, kFullTurn);
      aimCamera();
    }
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

  // The program's own toggles, each flipped once per press.
  bool* const toggles[] = {&muted_, &keysShown_, &instrumentsShown_};
  for (int i = 0; i < 3; ++i) {
    if (keys_[assets::command::kSound + i] != key.Key) continue;
    // The sound's toggle is the player's own but for a replay.
    const bool allowed = player_ == nullptr || toggles[i] != &muted_;
    if (key.PressedDown && !repeat && allowed) *toggles[i] = !*toggles[i];
    return true;
  }
  for (int i = 0; i < kHeldCommands; ++i) {
    if (keys_[i] != key.Key) continue;
    hold(i, holds(i));
    return true;
  }
  for (int i = 0; i < kPressCommands; ++i) {
    if (keys_[kHeldCommands + i] != key.Key) continue;
    if (key.PressedDown && !repeat) press(i);
    return true;
  }
  return false;
}

void MyEventReceiver::configure(const assets::Settings& settings) {
  release();
  keys_ = settings.keys;
  sensitivity_ = settings.sensitivity;
  lookSign_ = settings.invertLook ? -1.0 : 1.0;
  instrumentsShown_ = settings.instruments;
  muted_ = settings.mute;
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
  for (bool& held : held_) held = false;
  pads_.release();
  if (tank == nullptr) return;
  for (int i = 0; i < kHeldCommands; ++i) hold(i, false);
}

void MyEventReceiver::watchPads(const irr::core::array<irr::SJoystickInfo>& pads) {
  for (irr::u32 i = 0; i < pads.size() && i < gamepad::kPadCount; ++i)
    watchPad(static_cast<irr::u8>(i), gamepad::deviceNode(pads[i].Joystick).c_str());
}

void MyEventReceiver::expirePads() {
  if (pads_.held() == 0) return;
  if (pads_.lapse(now()) && tank != nullptr) holdCommands();
}

bool MyEventReceiver::holds(int command) const {
  return down_[keys_[command]] || (pads_.held() & kHeldKeys[command].pad) != 0;
}

// Tells the tank each held command whose keys and pads together now hold it otherwise.
void MyEventReceiver::holdCommands() {
  for (int i = 0; i < kHeldCommands; ++i) {
    const bool on = holds(i);
    if (on != held_[i]) hold(i, on);
  }
}

// Every command reaches the tank through these two.
void MyEventReceiver::hold(int command, bool on) {
  held_[command] = on;
  if (player_ != nullptr) return;  // the recording drives
  // The row is read once: GCC's sanitizer build, reading it again for the recorder, gives
  // every held command the first row's.
  const auto given = kHeldKeys[command].command;
  (tank->*given)(on);
  if (recorder_ != nullptr) recorder_->hold(replay::heldCode(given), on);
}

void MyEventReceiver::press(int command) {
  const auto given = kPressKeys[command].command;
  if (player_ != nullptr) {
    if (given == &Tank::pause) player_->togglePause();
    return;
  }
  const int gear = tank->engine.gear;
  (tank->*given)();
  if (recorder_ != nullptr) recorder_->press(replay::pressCode(given), tank->jumpWheel);
  cue(command, gear);
}

// A refused shift and a reset are told to the player: the frame shows a note, and both are
// heard.
void MyEventReceiver::cue(int command, int gearBefore) {
  const auto act = kPressKeys[command].command;
  if (act == &Tank::reset) cues_.reset = true;
  if (act != &Tank::setGearUp && act != &Tank::setGearDown) return;
  if (const wchar_t* why = cues::refusal(act == &Tank::setGearUp, gearBefore, tank->engine.gear))
    cues_.refused = why;
}

// The cursor's column turns the camera and its row pitches it, by the sensitivity's degrees
// a pixel away from where the game starts the cursor (so that the camera starts in the same
// place whatever the sensitivity); the pads' swing adds to both, so that the mouse goes on
// from where a pad left the camera. Inverted look turns the row's and the pads' rise the
// other way. At the default one degree a pixel the row is the pitch in degrees.
void MyEventReceiver::aimCamera() {
  const double rise = kStartRow + lookSign_ * sensitivity_ * (cursorY_ - kStartRow);  // deg
  const double yaw = kStartColumn + sensitivity_ * (cursorX_ - kStartColumn);         // deg
  if (player_ != nullptr) {
    // The window system's report of the cursor's first place is no swing of the player's.
    if (cursorX_ == kStartColumn && cursorY_ == kStartRow && padYaw_ == 0.0f && padRise_ == 0.0f)
      return;
    player_->takeCamera();
  }
  const float pitch = cameraPitch(rise + static_cast<double>(padRise_));
  const float turn = static_cast<float>(yaw) + padYaw_;
  tank->rotateCamera(pitch, turn);
  if (recorder_ != nullptr) recorder_->camera(pitch, turn);
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
