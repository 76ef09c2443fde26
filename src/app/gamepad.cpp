#include "app/gamepad.h"

#include <sys/stat.h>

#include <cmath>

namespace gamepad {
namespace {

// Buttons and axes, in the joystick device's numbering under xpad.
enum Button : irr::u32 {
  kA = 0,
  kB = 1,
  kX = 2,
  kY = 3,
  kLeftShoulder = 4,
  kRightShoulder = 5,
  kStart = 7,
  kPadLeft = 11,
  kPadRight = 12,
  kPadUp = 13,
  kPadDown = 14,
};
constexpr int kLeftX = 0, kLeftY = 1, kRightX = 3, kRightY = 4;  // axes

constexpr float kFullTravel = 32767.0f;          // an axis pushed fully, either way
constexpr irr::u16 kPovCentred = 65535;          // the POV's value with the hat at rest
constexpr float kPovUnit = 100.0f;               // the POV counts hundredths of a degree
constexpr float kDegree = 3.14159265f / 180.0f;  // rad
// A direction of a stick counts while the stick points within 67.5 degrees of it, so that
// its eight sectors hold one or two directions as a d-pad's eight positions do: its axis
// carries at least cos(67.5 degrees) of the push, this squared.
constexpr float kSectorShare = 0.1464466f;
constexpr float kMillisecond = 0.001f;  // s

const struct {
  Button button;
  Press press;
} kPresses[] = {
    {kA, kJump},
    {kB, kPause},
    {kY, kReset},
    {kLeftShoulder, kGearDown},
    {kRightShoulder, kGearUp},
    {kStart, kPause},
};

bool down(irr::u32 buttons, Button button) { return (buttons >> button) & 1u; }

float travel(irr::s16 axis) {
  const float share = static_cast<float>(axis) / kFullTravel;
  return share < -1.0f ? -1.0f : share;
}

// The directions that a push of (x right, y down), each in [-1, 1], holds.
unsigned directions(float x, float y) {
  const float push = x * x + y * y;
  if (push <= kDeadZone * kDeadZone) return 0;
  unsigned held = 0;
  if (y * y >= kSectorShare * push) held |= y < 0.0f ? kThrottle : kBrake;
  if (x * x >= kSectorShare * push) held |= x < 0.0f ? kSteerLeft : kSteerRight;
  return held;
}

// What the left stick, the d-pad's buttons and the POV hold together, and fire.
unsigned holds(const irr::SEvent::SJoystickEvent& event) {
  const irr::u32 b = event.ButtonStates;
  unsigned held = directions(travel(event.Axis[kLeftX]), travel(event.Axis[kLeftY]));
  held |= directions(static_cast<float>(down(b, kPadRight)) - static_cast<float>(down(b, kPadLeft)),
                     static_cast<float>(down(b, kPadDown)) - static_cast<float>(down(b, kPadUp)));
  if (event.POV != kPovCentred) {
    const float angle = static_cast<float>(event.POV) / kPovUnit * kDegree;  // clockwise from up
    held |= directions(std::sin(angle), -std::cos(angle));
  }
  if (down(b, kX)) held |= kFire;
  return held;
}

// Camera swing in deg/s for one axis of the right stick: none within the dead zone, then
// rising evenly to kSwingRate at full travel.
float swingRate(irr::s16 axis) {
  const float share = travel(axis);
  const float beyond = std::fabs(share) - kDeadZone;
  if (beyond <= 0.0f) return 0.0f;
  return std::copysign(kSwingRate * beyond / (1.0f - kDeadZone), share);
}

}  // namespace

Reading Pads::read(const irr::SEvent::SJoystickEvent& event, irr::u32 now, bool act) {
  Reading reading;
  if (event.Joystick >= kPadCount) return reading;
  Pad& pad = pads_[event.Joystick];
  if (pad.gone) return reading;
  if (!pad.node.empty() && now - pad.lookedAt >= kNodeLookEvery) {
    pad.lookedAt = now;
    if (!present(pad)) {
      pad.gone = true;
      pad.held = 0;
      gather();
      return reading;
    }
  }
  // The swing covers the time since the pad's previous event; after a silence, none.
  const irr::u32 elapsed = pad.heard && now - pad.heardAt < kSilence ? now - pad.heardAt : 0;  // ms
  pad.heard = true;
  pad.heardAt = now;
  const irr::u32 pressed = event.ButtonStates & ~pad.buttons;
  pad.buttons = event.ButtonStates;
  pad.held = act ? holds(event) : 0;
  gather();
  if (!act) return reading;
  for (const auto& p : kPresses)
    if (down(pressed, p.button)) reading.presses |= p.press;
  const float seconds = static_cast<float>(elapsed) * kMillisecond;
  reading.yaw = swingRate(event.Axis[kRightX]) * seconds;
  reading.rise = swingRate(event.Axis[kRightY]) * seconds;
  return reading;
}

bool Pads::lapse(irr::u32 now) {
  const unsigned before = held_;
  for (Pad& pad : pads_) {
    if (!pad.heard || now - pad.heardAt < kSilence) continue;
    pad.heard = false;
    pad.held = 0;
  }
  gather();
  return held_ != before;
}

void Pads::release() {
  for (Pad& pad : pads_) pad.held = 0;
  held_ = 0;
}

void Pads::watch(irr::u8 index, const char* node) {
  if (index >= kPadCount) return;
  Pad& pad = pads_[index];
  struct stat status {};
  if (node == nullptr || ::stat(node, &status) != 0) return;
  pad.node = node;
  pad.nodeDevice = status.st_rdev;
  pad.nodeInode = status.st_ino;
}

bool Pads::present(const Pad& pad) {
  struct stat status {};
  return ::stat(pad.node.c_str(), &status) == 0 && status.st_rdev == pad.nodeDevice &&
         status.st_ino == pad.nodeInode;
}

void Pads::gather() {
  held_ = 0;
  for (const Pad& pad : pads_) held_ |= pad.held;
}

std::string deviceNode(irr::u32 joystick) {
  const std::string number = std::to_string(joystick);
  for (const char* prefix : {"/dev/js", "/dev/input/js", "/dev/joy"}) {
    const std::string node = prefix + number;
    struct stat status {};
    if (::stat(node.c_str(), &status) == 0) return node;
  }
  return "";
}

}  // namespace gamepad
