#include "main.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cwchar>
#include <string>

#include "Tank.h"
#include "overlay.h"
#include "support.h"
#include "world.h"

namespace {

using support::keyEvent;
using support::mouseEvent;

// A paused tank on the null device, installed as the program's global tank by each case.
class Receiver : public ::testing::Test {
 protected:
  void SetUp() override { quit = false; }
  void TearDown() override {
    tank = nullptr;
    quit = false;
  }
  void press(irr::EKEY_CODE key) {
    receiver.OnEvent(keyEvent(key, true));
    receiver.OnEvent(keyEvent(key, false));
  }
  // Held down long enough for the window system to repeat its key-down, then let go.
  void hold(irr::EKEY_CODE key) {
    for (int i = 0; i < kRepeats; ++i) receiver.OnEvent(keyEvent(key, true));
    receiver.OnEvent(keyEvent(key, false));
  }
  // About a second of autorepeat; even, so that toggling on each would show.
  static constexpr int kRepeats = 24;

  support::TankScene scene{false};
  Tank* owned = scene.tank.get();
  MyEventReceiver receiver;
};

TEST_F(Receiver, IgnoresEverythingBeforeTheTankExists) {
  tank = nullptr;
  receiver.OnEvent(keyEvent(irr::KEY_ESCAPE, true));
  receiver.OnEvent(keyEvent(irr::KEY_KEY_W, true));
  receiver.OnEvent(mouseEvent(100, 50));
  EXPECT_FALSE(quit);
  EXPECT_FALSE(owned->accelerating);
  EXPECT_EQ(owned->cameraPivot->getRotation(), irr::core::vector3df(0, 0, 0));
}

TEST_F(Receiver, HeldKeysFollowTheKey) {
  tank = owned;
  const struct {
    irr::EKEY_CODE key;
    const bool* flag;
  } held[] = {
      {irr::KEY_KEY_W, &owned->accelerating},        {irr::KEY_KEY_S, &owned->braking},
      {irr::KEY_KEY_A, &owned->turningLeft},         {irr::KEY_KEY_D, &owned->turningRight},
      {irr::KEY_KEY_J, &owned->turret.rotatingLeft}, {irr::KEY_KEY_L, &owned->turret.rotatingRight},
      {irr::KEY_KEY_I, &owned->turret.elevating},    {irr::KEY_KEY_K, &owned->turret.dumping},
  };
  for (const auto& h : held) {
    receiver.OnEvent(keyEvent(h.key, true));
    EXPECT_TRUE(*h.flag) << "key " << h.key;
    receiver.OnEvent(keyEvent(h.key, true));  // repeated while held
    EXPECT_TRUE(*h.flag) << "key " << h.key;
    receiver.OnEvent(keyEvent(h.key, false));
    EXPECT_FALSE(*h.flag) << "key " << h.key;
  }
  // Fire charges while held and marks the shot on release.
  receiver.OnEvent(keyEvent(irr::KEY_KEY_V, true));
  EXPECT_GT(owned->turret.shotCharge, 0.0f);
  EXPECT_FALSE(owned->turret.shotPending);
  receiver.OnEvent(keyEvent(irr::KEY_KEY_V, false));
  EXPECT_TRUE(owned->turret.shotPending);
}

// One-shot keys act once per press: the key-downs that the window system repeats while the
// key is held change nothing, and the next press after the key-up acts again. Escape quits
// on key-down and key-up alike; keys outside the table do nothing.
TEST_F(Receiver, OneShotKeysActOncePerPressHoweverLongHeldAndEscapeQuits) {
  tank = owned;
  hold(irr::KEY_KEY_Q);
  EXPECT_EQ(owned->engine.getGear(), 2);
  press(irr::KEY_KEY_Q);
  EXPECT_EQ(owned->engine.getGear(), 3);
  hold(irr::KEY_KEY_E);
  EXPECT_EQ(owned->engine.getGear(), 2);
  hold(irr::KEY_SPACE);
  EXPECT_FALSE(owned->paused);
  press(irr::KEY_SPACE);
  EXPECT_TRUE(owned->paused);

  receiver.OnEvent(keyEvent(irr::KEY_KEY_C, true));
  EXPECT_GE(owned->jumpWheel, 0);
  EXPECT_LT(owned->jumpWheel, Tank::kWheelCount);
  owned->jumpWheel = -1;
  receiver.OnEvent(keyEvent(irr::KEY_KEY_C, true));  // a repeat: no second jump
  EXPECT_EQ(owned->jumpWheel, -1);
  receiver.OnEvent(keyEvent(irr::KEY_KEY_C, false));

  const irr::core::vector3df away(30, 0, 40);
  owned->rootNode->setPosition(away);
  receiver.OnEvent(keyEvent(irr::KEY_KEY_R, true));
  EXPECT_EQ(owned->rootNode->getPosition(), irr::core::vector3df(0, 0, 0));
  owned->rootNode->setPosition(away);
  receiver.OnEvent(keyEvent(irr::KEY_KEY_R, true));  // a repeat: no second reset
  EXPECT_EQ(owned->rootNode->getPosition(), away);
  receiver.OnEvent(keyEvent(irr::KEY_KEY_R, false));

  hold(irr::KEY_F1);
  EXPECT_TRUE(receiver.keysShown());
  press(irr::KEY_F1);
  EXPECT_FALSE(receiver.keysShown());

  receiver.OnEvent(keyEvent(irr::KEY_KEY_Z, true));
  receiver.OnEvent(keyEvent(irr::KEY_RETURN, true));
  EXPECT_FALSE(quit);
  receiver.OnEvent(keyEvent(irr::KEY_ESCAPE, true));
  EXPECT_TRUE(quit);
  quit = false;
  receiver.OnEvent(keyEvent(irr::KEY_ESCAPE, false));
  EXPECT_TRUE(quit);
}

// When the window stops being in use (another window takes the focus, or it is minimized)
// the key-ups of the keys held go elsewhere: every held command is released at once, and a
// key pressed again afterwards counts as a new press. Without a window manager the window
// never hears that it has the focus, yet the keys reach it: it stays in use; so it is again
// when keys reach it after the focus went, as under a full-screen grab.
TEST_F(Receiver, LosingTheWindowReleasesEveryHeldCommand) {
  tank = owned;
  const bool* const flags[] = {&owned->accelerating,        &owned->braking,
                               &owned->turningLeft,         &owned->turningRight,
                               &owned->turret.rotatingLeft, &owned->turret.rotatingRight,
                               &owned->turret.elevating,    &owned->turret.dumping};
  auto holdAll = [&] {
    for (irr::EKEY_CODE key :
         {irr::KEY_KEY_W, irr::KEY_KEY_S, irr::KEY_KEY_A, irr::KEY_KEY_D, irr::KEY_KEY_J,
          irr::KEY_KEY_L, irr::KEY_KEY_I, irr::KEY_KEY_K, irr::KEY_KEY_V})
      receiver.OnEvent(keyEvent(key, true));
  };
  auto held = [&] {
    int n = 0;
    for (const bool* flag : flags) n += *flag;
    return n;
  };

  holdAll();
  EXPECT_TRUE(receiver.attend(false, false)) << "no window manager: still in use";
  EXPECT_EQ(held(), 8);

  EXPECT_TRUE(receiver.attend(true, false));
  receiver.OnEvent(keyEvent(irr::KEY_KEY_Q, true));  // its key-up will go elsewhere
  EXPECT_EQ(owned->engine.getGear(), 2);
  EXPECT_FALSE(receiver.attend(false, false)) << "another window has the focus";
  EXPECT_EQ(held(), 0);
  EXPECT_TRUE(owned->turret.shotPending) << "fire released as on its key-up";
  receiver.OnEvent(support::mouseEvent(10, 20));  // the pointer passes over it
  EXPECT_FALSE(receiver.attend(false, false));
  receiver.OnEvent(keyEvent(irr::KEY_KEY_W, true));  // the keyboard is still the window's
  EXPECT_TRUE(receiver.attend(false, false));
  EXPECT_TRUE(owned->accelerating);
  receiver.OnEvent(keyEvent(irr::KEY_KEY_W, false));

  EXPECT_TRUE(receiver.attend(true, false));
  receiver.OnEvent(keyEvent(irr::KEY_KEY_Q, true));
  EXPECT_EQ(owned->engine.getGear(), 3) << "a new press after the focus came back";
  holdAll();
  EXPECT_FALSE(receiver.attend(true, true)) << "minimized";
  EXPECT_EQ(held(), 0);
  EXPECT_TRUE(receiver.attend(true, false));
}

// The engine's log, from before the tank exists on: each message one line after "ferrox: ",
// and the engine prints nothing of its own.
TEST_F(Receiver, WritesTheEnginesLogOneLineAMessage) {
  std::FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  MyEventReceiver logging(log);
  irr::SEvent event = {};
  event.EventType = irr::EET_LOG_TEXT_EVENT;
  event.LogEvent.Level = irr::ELL_WARNING;
  event.LogEvent.Text = "Could not open file of texture: a.jpg\nsecond line\n";
  EXPECT_TRUE(logging.OnEvent(event));
  tank = owned;
  event.LogEvent.Text = "GLSL version: 4.5";
  EXPECT_TRUE(logging.OnEvent(event));
  std::rewind(log);
  char text[256] = {};
  const std::size_t length = std::fread(text, 1, sizeof text - 1, log);
  std::fclose(log);
  EXPECT_EQ(std::string(text, length),
            "ferrox: Could not open file of texture: a.jpg second line\n"
            "ferrox: GLSL version: 4.5\n");
}

// The game starts with the cursor where the camera stands behind the tank, looking down on
// it from a few metres up, and the camera is there at once.
TEST_F(Receiver, TheStartCursorPutsTheCameraBehindAndAboveTheTank) {
  tank = owned;
  owned->pause();
  scene.settle();
  receiver.placeCursor(scene.device->getCursorControl());
  scene.smgr->drawAll();
  irr::core::vector3df eye = owned->camera->getAbsolutePosition();
  irr::core::matrix4 worldToHull;
  ASSERT_TRUE(owned->chassisNode->getAbsoluteTransformation().getInverse(worldToHull));
  worldToHull.transformVect(eye);
  EXPECT_LT(eye.Z, -8.0f) << "behind the hull";
  EXPECT_NEAR(eye.X, 0.0f, 0.5f);
  EXPECT_GT(eye.Y, 2.0f);
  EXPECT_LT(eye.Y, 6.0f);
}

// On a settled tank every row of the window keeps the camera at least 0.5 m above the
// ground, and one pixel down turns it by one degree, never more: it folds back instead of
// jumping. Rows of the upper half away from the fold are the pitch itself; clicks and the
// wheel do nothing.
TEST_F(Receiver, EveryCursorRowKeepsTheCameraAboveTheGround) {
  tank = owned;
  owned->pause();
  scene.settle();
  float lastPitch = 0.0f;
  for (int row = 0; row < 768; ++row) {
    receiver.OnEvent(mouseEvent(1023 - row, row));
    scene.smgr->drawAll();
    const irr::core::vector3df angles = owned->cameraPivot->getRotation();
    ASSERT_EQ(angles.Y, static_cast<float>(1023 - row));
    ASSERT_GE(owned->camera->getAbsolutePosition().Y, 0.5f) << "row " << row;
    if (row > 0) {
      ASSERT_NEAR(std::fabs(angles.X - lastPitch), 1.0f, 1e-4f) << "row " << row;
    }
    lastPitch = angles.X;
  }
  receiver.OnEvent(mouseEvent(120, 45));
  receiver.OnEvent(mouseEvent(300, 300, irr::EMIE_LMOUSE_PRESSED_DOWN));
  receiver.OnEvent(mouseEvent(300, 300, irr::EMIE_MOUSE_WHEEL));
  EXPECT_EQ(owned->cameraPivot->getRotation(), irr::core::vector3df(45, 120, 0));
}

TEST(Texts, StatusAndCaptionAreFormattedAndCutToTheirBuffers) {
  wchar_t status[kStatusLength];
  formatStatus(status, 1, 10.0, 60);
  EXPECT_STREQ(status, L"Gear: 1 | Speed: 36.00 km/h | FPS: 60");
  formatStatus(status, -2, -9.2583, 999);
  EXPECT_STREQ(status, L"Gear: -2 | Speed: -33.33 km/h | FPS: 999");
  formatStatus(status, 4, 1e90, 0);  // absurd speeds are cut, never overrun
  EXPECT_EQ(std::wcslen(status), kStatusLength - 1);
  wchar_t caption[kCaptionLength];
  formatCaption(caption, L"OpenGL 4.5", 60);
  EXPECT_STREQ(caption, L"Ferrox | (OpenGL 4.5) (fps: 60)");
  formatCaption(caption, std::wstring(3000, L'x').c_str(), 60);
  EXPECT_EQ(std::wcslen(caption), kCaptionLength - 1);
}

// Each pass draws with the rate read at the end of the previous pass, then shows the new
// rate in the caption and steps by its inverse; a rate of 0 steps nothing.
TEST(FrameLoop, StatusShowsThePreviousRateTheCaptionTheCurrentAndRateZeroDoesNotStep) {
  support::TankScene s;
  s.tank->accelerate(true);
  engine::Engine reference = s.tank->engine;
  Frame frame(s.device, nullptr);
  const struct {
    int rate;              // measured after drawing
    const wchar_t* shown;  // in the status line
    bool captioned;        // caption rewritten
  } passes[] = {{0, L"FPS: 0", true},
                {0, L"FPS: 0", false},
                {60, L"FPS: 0", true},
                {60, L"FPS: 60", false},
                {59, L"FPS: 60", true}};
  for (const auto& p : passes) {
    SCOPED_TRACE(p.rate);
    frame.draw(*s.tank);
    EXPECT_TRUE(std::wstring(frame.status()).find(p.shown) != std::wstring::npos);
    EXPECT_EQ(frame.measure(p.rate), p.captioned);
    EXPECT_EQ(frame.captionFPS(), p.rate);
  }
  // advance is measure and a step of exactly 1/rate.
  frame.advance(*s.tank, 0);
  EXPECT_EQ(s.tank->engine.getSpeed(), 0.0) << "a rate of 0 stepped";
  frame.advance(*s.tank, 50);
  bool on = true, off = false;
  float dt = 1.0f / 50.0f;
  reference.calculateAcceleration(on, off, dt);
  EXPECT_EQ(s.tank->engine.getSpeed(), reference.getSpeed());
}

// Escape arrives inside run(): that pass is still drawn, captioned and stepped. A closed
// window ends the loop before anything more is drawn or stepped.
TEST(FrameLoop, EscapesPassIsWholeAndAClosedWindowEndsTheLoopAtOnce) {
  for (bool closed : {false, true}) {
    support::TankScene s;
    s.tank->accelerate(true);
    Frame frame(s.device, nullptr);
    MyEventReceiver receiver;
    quit = true;
    if (closed) s.device->closeDevice();
    runFrameLoop(s.device, frame, *s.tank, receiver);
    quit = false;
    EXPECT_EQ(frame.captionFPS(), closed ? -1 : s.device->getVideoDriver()->getFPS());
    EXPECT_EQ(std::wstring(frame.status()).empty(), closed);
    EXPECT_EQ(s.tank->engine.getSpeed() > 0.0, !closed);
  }
}

// While paused the banner says how to go on; in neutral the hint says how to engage a gear.
TEST(FrameOverlay, BannerWhilePausedAndGearHintInNeutral) {
  support::TankScene s(false);
  tank = s.tank.get();
  MyEventReceiver receiver;
  Frame frame(s.device, nullptr);
  auto text = [](const wchar_t* t) { return std::wstring(t != nullptr ? t : L"(none)"); };
  const struct {
    irr::EKEY_CODE key;
    const wchar_t* banner;
    const wchar_t* hint;
  } steps[] = {
      {irr::KEY_KEY_Z, overlay::kPausedBanner, nullptr},  // a new tank: paused, first gear
      {irr::KEY_SPACE, nullptr, nullptr},
      {irr::KEY_KEY_R, nullptr, overlay::kNeutralHint},
      {irr::KEY_SPACE, overlay::kPausedBanner, overlay::kNeutralHint},
      {irr::KEY_KEY_Q, overlay::kPausedBanner, nullptr},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.key);
    receiver.OnEvent(keyEvent(step.key, true));
    receiver.OnEvent(keyEvent(step.key, false));
    frame.draw(*s.tank);
    EXPECT_EQ(text(frame.banner()), text(step.banner));
    EXPECT_EQ(text(frame.hint()), text(step.hint));
  }
  tank = nullptr;
}

// After a wait in which nothing was drawn, the engine's rate counts the wait as a few slow
// frames: the rate measured before the wait steps the tank and shows in the caption instead.
TEST(FrameLoop, AfterAWaitTheRateMeasuredBeforeStandsIn) {
  support::TankScene s;
  s.tank->accelerate(true);
  Frame frame(s.device, nullptr);
  constexpr int kBefore = 37;  // 1/s
  ASSERT_NE(s.device->getVideoDriver()->getFPS(), kBefore);
  frame.measure(kBefore);
  engine::Engine reference = s.tank->engine;
  frame.resume();
  frame.pass(*s.tank);
  EXPECT_EQ(frame.captionFPS(), kBefore);
  bool on = true, off = false;
  float dt = 1.0f / kBefore;
  reference.calculateAcceleration(on, off, dt);
  EXPECT_EQ(s.tank->engine.getSpeed(), reference.getSpeed());
}

// SIGINT, SIGTERM and SIGHUP each end the loop before another pass is drawn, as Escape ends
// it after one.
TEST(FrameLoop, StopSignalsEndTheLoopBeforeTheNextPass) {
  for (int number : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(number);
    support::TankScene s;
    Frame frame(s.device, nullptr);
    MyEventReceiver receiver;
    catchStopSignals();
    std::raise(number);
    EXPECT_EQ(stopSignal, number);
    quit = true;  // were the signal ignored, Escape would still end the loop after a pass
    runFrameLoop(s.device, frame, *s.tank, receiver);
    EXPECT_EQ(frame.captionFPS(), -1) << "a pass was drawn";
    quit = false;
    stopSignal = 0;
    for (int other : {SIGINT, SIGTERM, SIGHUP}) std::signal(other, SIG_DFL);
  }
}

}  // namespace
