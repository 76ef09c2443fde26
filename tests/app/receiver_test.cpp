#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

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

}  // namespace
