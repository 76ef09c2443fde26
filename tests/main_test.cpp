#include "main.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>
#include <string>

#include "Tank.h"
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

// One-shot keys act once per key-down the engine delivers, repeats included; Escape quits on
// key-down and key-up alike; keys outside the table do nothing.
TEST_F(Receiver, OneShotKeysActOnEveryKeyDownAndEscapeQuits) {
  tank = owned;
  press(irr::KEY_KEY_Q);
  receiver.OnEvent(keyEvent(irr::KEY_KEY_Q, true));  // a repeat acts again
  EXPECT_EQ(owned->engine.getGear(), 3);
  press(irr::KEY_KEY_E);
  EXPECT_EQ(owned->engine.getGear(), 2);
  press(irr::KEY_SPACE);
  EXPECT_FALSE(owned->paused);
  press(irr::KEY_KEY_C);
  EXPECT_GE(owned->jumpWheel, 0);
  EXPECT_LT(owned->jumpWheel, Tank::kWheelCount);
  owned->rootNode->setPosition(irr::core::vector3df(30, 0, 40));
  press(irr::KEY_KEY_R);
  EXPECT_EQ(owned->rootNode->getPosition(), irr::core::vector3df(0, 0, 0));

  receiver.OnEvent(keyEvent(irr::KEY_KEY_Z, true));
  receiver.OnEvent(keyEvent(irr::KEY_RETURN, true));
  EXPECT_FALSE(quit);
  receiver.OnEvent(keyEvent(irr::KEY_ESCAPE, true));
  EXPECT_TRUE(quit);
  quit = false;
  receiver.OnEvent(keyEvent(irr::KEY_ESCAPE, false));
  EXPECT_TRUE(quit);
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
    quit = true;
    if (closed) s.device->closeDevice();
    runFrameLoop(s.device, frame, *s.tank);
    quit = false;
    EXPECT_EQ(frame.captionFPS(), closed ? -1 : s.device->getVideoDriver()->getFPS());
    EXPECT_EQ(std::wstring(frame.status()).empty(), closed);
    EXPECT_EQ(s.tank->engine.getSpeed() > 0.0, !closed);
  }
}

}  // namespace
