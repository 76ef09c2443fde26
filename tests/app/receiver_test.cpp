#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "assets/settings.h"
#include "support.h"

namespace {

using support::DrivenScene;

constexpr int kRepeats = 24;  // a second of autorepeat; even, so that toggling on each shows

// The held keys, in the order of heldFlags.
const irr::EKEY_CODE kHeldKeys[] = {irr::KEY_KEY_W, irr::KEY_KEY_S, irr::KEY_KEY_A, irr::KEY_KEY_D,
                                    irr::KEY_KEY_J, irr::KEY_KEY_L, irr::KEY_KEY_I, irr::KEY_KEY_K};
using Held = std::array<bool, 8>;
Held heldFlags(const Tank& t) {
  return {t.accelerating,        t.braking,
          t.turningLeft,         t.turningRight,
          t.turret.rotatingLeft, t.turret.rotatingRight,
          t.turret.elevating,    t.turret.dumping};
}

// Nothing reaches the tank before it exists; then each held key holds its own command
// while down, through its repeats.
TEST(Receiver, HeldKeysHoldTheirCommandOnceTheTankExists) {
  DrivenScene s(false);
  ::tank = nullptr;
  s.key(irr::KEY_KEY_W, true);
  s.point(100, 50);
  s.key(irr::KEY_ESCAPE, true);
  EXPECT_FALSE(quit || s.tank->accelerating);
  ::tank = s.tank.get();
  for (int i = 0; i < 8; ++i) {
    Held only{};
    only[i] = true;
    s.key(kHeldKeys[i], true);
    s.key(kHeldKeys[i], true);
    EXPECT_EQ(heldFlags(*s.tank), only) << "key " << kHeldKeys[i];
    s.key(kHeldKeys[i], false);
    EXPECT_EQ(heldFlags(*s.tank), Held{}) << "key " << kHeldKeys[i];
  }
}

// One-shot keys (and F1 and M) act once per press however long held (R's reset shows in the
// overlay's test); Escape quits on key-up too.
TEST(Receiver, OneShotKeysActOncePerPressAndEscapeQuits) {
  DrivenScene s(false);
  Tank& t = *s.tank;
  auto hold = [&s](irr::EKEY_CODE key) {
    for (int i = 0; i < kRepeats; ++i) s.key(key, true);
    s.key(key, false);
  };
  hold(irr::KEY_KEY_Q);
  EXPECT_EQ(t.engine.getGear(), 2);
  hold(irr::KEY_SPACE);
  EXPECT_FALSE(t.paused);
  hold(irr::KEY_F1);  // shown, once: the next press hides it
  s.press(irr::KEY_F1);
  EXPECT_FALSE(s.receiver.keysShown());
  hold(irr::KEY_KEY_M);  // on, once: the next press turns it off
  s.press(irr::KEY_KEY_M);
  EXPECT_FALSE(s.receiver.muted());
  s.key(irr::KEY_ESCAPE, false);
  EXPECT_TRUE(quit);
}

// Out of use (another window has the focus, or it is minimized) the key-ups of held keys
// go elsewhere: every held command is released, and a key pressed again counts as a new
// press. Without a window manager the window never hears of the focus yet keys reach it:
// it stays in use; so it is again when keys reach it after the focus went.
TEST(Receiver, OutOfUseReleasesEveryHeldCommand) {
  DrivenScene s(false);
  Tank& t = *s.tank;
  EXPECT_TRUE(s.receiver.attend(false, false)) << "no window manager: in use";
  for (irr::EKEY_CODE key : kHeldKeys) s.key(key, true);
  EXPECT_TRUE(s.receiver.attend(true, false));
  s.key(irr::KEY_KEY_Q, true);  // its key-up will go elsewhere
  EXPECT_FALSE(s.receiver.attend(false, false)) << "another window has the focus";
  EXPECT_EQ(heldFlags(t), Held{});
  s.key(irr::KEY_KEY_W, true);  // the keyboard is still the window's
  EXPECT_TRUE(s.receiver.attend(false, false) && t.accelerating);
  EXPECT_TRUE(s.receiver.attend(true, false));
  s.key(irr::KEY_KEY_Q, true);
  EXPECT_EQ(t.engine.getGear(), 3) << "a new press after the focus came back";
}

// The engine's log, from before the tank exists on: each message one line after "ferrox: ".
TEST(Receiver, WritesTheEnginesLogOneLineAMessage) {
  char* text = nullptr;
  std::size_t length = 0;
  std::FILE* log = open_memstream(&text, &length);
  MyEventReceiver logging(log);
  irr::SEvent event = {};
  event.EventType = irr::EET_LOG_TEXT_EVENT;
  for (const char* message : {"Could not open file of texture: a.jpg\nsecond line\n", "GLSL"}) {
    event.LogEvent.Text = message;
    EXPECT_TRUE(logging.OnEvent(event));
  }
  std::fclose(log);
  EXPECT_EQ(std::string(text, length),
            "ferrox: Could not open file of texture: a.jpg second line\nferrox: GLSL\n");
  std::free(text);
}

// The engine's two warnings that the full screen cannot be had: the program says so in a
// line of its own, and only --verbose shows them.
TEST(Receiver, HoldsBackTheFullScreenWarningsUnlessAsked) {
  for (const bool shown : {false, true}) {
    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* log = open_memstream(&text, &length);
    MyEventReceiver logging(log);
    logging.logFullScreenWarnings(shown);
    irr::SEvent event = {};
    event.EventType = irr::EET_LOG_TEXT_EVENT;
    for (const char* message :
         {"VidMode or RandR X11 extension requireed for VideoModeList.",
          "VidMode or RandR extension must be installed to allow Irrlicht to switch to "
          "fullscreen mode. Running in windowed mode instead.",
          "Could not open file"}) {
      event.LogEvent.Text = message;
      EXPECT_TRUE(logging.OnEvent(event)) << "the engine prints nothing itself";
    }
    std::fclose(log);
    const std::string lines(text, length);
    EXPECT_EQ(lines.find("ferrox: VidMode or RandR X11") != std::string::npos, shown) << lines;
    EXPECT_EQ(lines.find("ferrox: VidMode or RandR extension") != std::string::npos, shown);
    EXPECT_NE(lines.find("ferrox: Could not open file\n"), std::string::npos) << lines;
    std::free(text);
  }
}

// The settings' keys drive the commands: a rebound key drives its command and the old key
// no longer does, keys may swap, and the toggles (sound, panel, instruments) follow their
// keys too; Escape stays.
TEST(Receiver, ReboundKeysDriveTheirCommandsAndTheOldKeysNoLonger) {
  DrivenScene s(false);
  Tank& t = *s.tank;
  assets::Settings settings;
  namespace command = assets::command;
  settings.keys[command::kThrottle] = irr::KEY_UP;
  settings.keys[command::kGearUp] = irr::KEY_KEY_E;  // swapped with gear-down
  settings.keys[command::kGearDown] = irr::KEY_KEY_Q;
  settings.keys[command::kSound] = irr::KEY_F5;
  settings.keys[command::kInstruments] = irr::KEY_KEY_M;
  s.receiver.configure(settings);

  s.key(irr::KEY_KEY_W, true);
  EXPECT_FALSE(t.accelerating) << "W still throttles";
  s.key(irr::KEY_UP, true);
  EXPECT_TRUE(t.accelerating);
  s.key(irr::KEY_UP, false);
  EXPECT_FALSE(t.accelerating);
  s.key(irr::KEY_KEY_W, false);

  s.press(irr::KEY_KEY_E);
  EXPECT_EQ(t.engine.getGear(), 2);
  s.press(irr::KEY_KEY_Q);
  s.press(irr::KEY_KEY_Q);
  EXPECT_EQ(t.engine.getGear(), 0);

  EXPECT_TRUE(s.receiver.instrumentsShown());
  s.press(irr::KEY_KEY_M);
  EXPECT_FALSE(s.receiver.instrumentsShown()) << "M toggles the instruments now";
  EXPECT_FALSE(s.receiver.muted());
  s.press(irr::KEY_F5);
  EXPECT_TRUE(s.receiver.muted());
  s.press(irr::KEY_KEY_H);
  EXPECT_FALSE(s.receiver.instrumentsShown()) << "H no longer toggles them";
  s.key(irr::KEY_ESCAPE, true);
  EXPECT_TRUE(quit);

  // The settings' first states of the sound and the instruments.
  settings.mute = true;
  settings.instruments = false;
  s.receiver.configure(settings);
  EXPECT_TRUE(s.receiver.muted());
  EXPECT_FALSE(s.receiver.instrumentsShown());
}

// The cursor's pixels turn the camera by the sensitivity's degrees, counted from where the
// game starts the cursor, and inverted look turns the row's the other way; at the defaults
// the row is the pitch and the column the yaw.
TEST(Receiver, SensitivityAndInvertedLookScaleAndFlipTheCursorsMove) {
  DrivenScene s;
  const Tank& t = *s.tank;
  s.point(400, 60);
  EXPECT_FLOAT_EQ(t.cameraPitch, 60.0f);
  EXPECT_FLOAT_EQ(t.cameraYaw, 400.0f);
  s.receiver.placeCursor(nullptr);
  const float startPitch = t.cameraPitch, startYaw = t.cameraYaw;

  assets::Settings settings;
  settings.sensitivity = 0.5f;
  settings.invertLook = true;
  s.receiver.configure(settings);
  s.receiver.placeCursor(nullptr);
  EXPECT_FLOAT_EQ(t.cameraPitch, startPitch) << "the camera starts where it always does";
  EXPECT_FLOAT_EQ(t.cameraYaw, startYaw);
  s.point(static_cast<int>(startYaw) + 40, static_cast<int>(startPitch) - 20);
  EXPECT_FLOAT_EQ(t.cameraPitch, startPitch + 10.0f) << "the cursor up raises the view";
  EXPECT_FLOAT_EQ(t.cameraYaw, startYaw + 20.0f);
}

}  // namespace
