// The game pad through the receiver, as the engine delivers it: each pad's whole state once
// a run, at the time of the engine's clock. What it holds, presses and swings shows in the
// tank's flags, gear and camera, beside the keyboard and the mouse.
#include "app/gamepad.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support.h"

namespace {

using support::DrivenScene;

constexpr irr::s16 kFull = 32767;     // an axis pushed fully
constexpr irr::u16 kCentred = 65535;  // the POV at rest
constexpr irr::u32 kRun = 20;         // ms between two of the engine's runs
constexpr irr::u32 kStart = 100000;   // ms on the engine's clock when a case begins
constexpr float kAngleTol = 0.01f;    // deg
constexpr int kHeldRuns = 30;         // runs a button stays down: over half a second
// Buttons in xpad's numbering, a bit each.
constexpr irr::u32 kX = 1u << 2, kLB = 1u << 4, kRB = 1u << 5, kPadLeft = 1u << 11,
                   kPadUp = 1u << 13;

struct Pad {
  irr::s16 lx = 0, ly = 0, rx = 0, ry = 0;  // sticks: left and right, x right, y down
  irr::u16 pov = kCentred;                  // hundredths of a degree, clockwise from up
  irr::u32 buttons = 0;
};

Pad hat(irr::u16 pov) { return Pad{0, 0, 0, 0, pov}; }
Pad pressing(irr::u32 buttons) { return Pad{0, 0, 0, 0, kCentred, buttons}; }
Pad aiming(irr::s16 rx, irr::s16 ry) { return Pad{0, 0, rx, ry}; }

// A pad's state as the engine posts it, at `ms` on the engine's clock.
void post(DrivenScene& s, irr::u32 ms, const Pad& p) {
  s.device->getTimer()->setTime(ms);
  irr::SEvent event = {};
  event.EventType = irr::EET_JOYSTICK_INPUT_EVENT;
  irr::SEvent::SJoystickEvent& j = event.JoystickEvent;
  j.Axis[0] = p.lx;
  j.Axis[1] = p.ly;
  j.Axis[3] = p.rx;
  j.Axis[4] = p.ry;
  j.POV = p.pov;
  j.ButtonStates = p.buttons;
  EXPECT_TRUE(s.receiver.OnEvent(event));
}

// W S A D, as the tank holds them.
std::array<bool, 4> drive(const Tank& t) {
  return {t.accelerating, t.braking, t.turningLeft, t.turningRight};
}
using Drive = std::array<bool, 4>;
constexpr Drive kNone = {false, false, false, false};

// The left stick, the POV and the d-pad's buttons hold a direction within 67.5 degrees of
// it, outside the stick's dead zone; back in the dead zone, or centred, they let go. Each
// state the pad posts replaces the one before.
TEST(Gamepad, DirectionsHoldOutsideTheDeadZoneAndLetGoOnReturn) {
  DrivenScene s;
  const struct {
    const char* what;
    Pad pad;
    Drive held;
  } kCases[] = {
      {"just beyond the dead zone, forward", {0, -8500}, {true, false, false, false}},
      {"back inside it, diagonally", {5500, -5500}, kNone},
      {"fully forward, a little right", {9000, -kFull}, {true, false, false, false}},
      {"forward right", {23170, -23170}, {true, false, false, true}},
      {"POV right", hat(9000), {false, false, false, true}},
      {"POV back left", hat(22500), {false, true, true, false}},
      {"d-pad up and left", pressing(kPadUp | kPadLeft), {true, false, true, false}},
  };
  irr::u32 ms = kStart;
  for (const auto& c : kCases) {
    post(s, ms += kRun, c.pad);
    EXPECT_EQ(drive(*s.tank), c.held) << c.what;
  }
}

// A command that the keyboard and a pad both hold holds until both let go, in either order:
// the stick first for the throttle, the key first for fire, which shoots once both are up.
TEST(Gamepad, KeyboardAndPadHoldACommandUntilBothLetGo) {
  DrivenScene s;
  Tank& t = *s.tank;
  const Pad forward{0, -kFull}, rest{};
  irr::u32 ms = kStart;
  s.key(irr::KEY_KEY_W, true);
  post(s, ms += kRun, forward);
  post(s, ms += kRun, rest);
  EXPECT_TRUE(t.accelerating) << "the stick let go; the key still holds";
  s.key(irr::KEY_KEY_W, false);
  EXPECT_FALSE(t.accelerating);

  post(s, ms += kRun, pressing(kX));
  s.key(irr::KEY_KEY_V, true);
  s.key(irr::KEY_KEY_V, false);
  EXPECT_FALSE(t.turret.shotPending) << "X still down";
  post(s, ms += kRun, rest);
  EXPECT_TRUE(t.turret.shotPending);
}

// A pad that falls silent (the engine no longer polls it) or whose device node goes lets go
// of what it held; a pad gone stays gone. While the window is out of use a pad holds nothing.
TEST(Gamepad, HoldsLetGoWhenThePadGoes) {
  DrivenScene s;
  Tank& t = *s.tank;
  const Pad forward{0, -kFull};
  irr::u32 ms = kStart;
  post(s, ms, forward);
  s.device->getTimer()->setTime(ms += gamepad::kSilence);
  s.receiver.expirePads();
  EXPECT_FALSE(t.accelerating) << "silent";
  EXPECT_TRUE(s.receiver.attend(true, false));
  EXPECT_FALSE(s.receiver.attend(false, false));
  post(s, ms += kRun, forward);
  EXPECT_FALSE(t.accelerating) << "out of use, the stick pushed";
  EXPECT_TRUE(s.receiver.attend(true, false));

  // A file in the scratch folder (TMPDIR) stands in for /dev/input/jsN.
  const char* tmp = std::getenv("TMPDIR");
  std::string node =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/ferrox-pad-XXXXXX";
  const int fd = mkstemp(node.data());
  ASSERT_GE(fd, 0);
  close(fd);
  s.receiver.watchPad(0, node.c_str());
  post(s, ms += kRun, forward);  // heard again
  std::remove(node.c_str());
  post(s, ms += gamepad::kNodeLookEvery, forward);
  EXPECT_FALSE(t.accelerating) << "its node went";
  post(s, ms += gamepad::kSilence * 2, forward);
  EXPECT_FALSE(t.accelerating) << "gone for good";
}

// Each button acts once per press, however many runs it stays down.
TEST(Gamepad, ButtonsActOncePerPress) {
  DrivenScene s;
  Tank& t = *s.tank;
  irr::u32 ms = kStart;
  auto hold = [&](irr::u32 buttons) {
    for (int i = 0; i < kHeldRuns; ++i) post(s, ms += kRun, pressing(buttons));
    post(s, ms += kRun, Pad{});
  };
  hold(kRB);
  hold(kRB);
  hold(kLB);
  EXPECT_EQ(t.engine.getGear(), 2);
}

// The right stick swings the camera at its rate by the engine's clock; after a silence it
// picks up without a leap. The cursor goes on from where the pad left the camera.
TEST(Gamepad, RightStickSwingsTheCameraAtItsRateAndTheMouseGoesOnFromThere) {
  DrivenScene s;
  Tank& t = *s.tank;
  s.receiver.placeCursor(nullptr);  // column 360, row 22
  irr::u32 ms = kStart;
  auto swing = [&](const Pad& pad, irr::u32 duration) {
    for (irr::u32 run = 0; run <= duration; run += kRun) post(s, ms + run, pad);
    ms += duration;
  };
  swing(aiming(kFull, 0), 1000);
  EXPECT_NEAR(t.cameraYaw, 360.0f + gamepad::kSwingRate, kAngleTol);
  ms += 5000;  // silent
  swing(aiming(0, kFull), 500);
  EXPECT_NEAR(t.cameraPitch, 22.0f + gamepad::kSwingRate / 2, kAngleTol) << "down climbs";
  s.point(370, 32);
  EXPECT_NEAR(t.cameraYaw, 370.0f + gamepad::kSwingRate, kAngleTol);
  EXPECT_NEAR(t.cameraPitch, 32.0f + gamepad::kSwingRate / 2, kAngleTol);
}

}  // namespace
