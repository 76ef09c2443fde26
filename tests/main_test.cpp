#include "main.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <filesystem>
#include <string>

#include "Tank.h"

namespace {

namespace fs = std::filesystem;

irr::SEvent keyEvent(irr::EKEY_CODE key, bool down) {
  irr::SEvent event = {};
  event.EventType = irr::EET_KEY_INPUT_EVENT;
  event.KeyInput.Key = key;
  event.KeyInput.PressedDown = down;
  return event;
}

irr::SEvent mouseEvent(irr::EMOUSE_INPUT_EVENT kind, int x, int y) {
  irr::SEvent event = {};
  event.EventType = irr::EET_MOUSE_INPUT_EVENT;
  event.MouseInput.Event = kind;
  event.MouseInput.X = x;
  event.MouseInput.Y = y;
  return event;
}

// A tank on the null device, installed as the program's global tank.
class Receiver : public ::testing::Test {
 protected:
  void SetUp() override {
    nullDevice = irr::createDevice(irr::video::EDT_NULL);
    ASSERT_NE(nullDevice, nullptr);
    nullDevice->getLogger()->setLogLevel(irr::ELL_NONE);
    irr::scene::ISceneNode* root = nullDevice->getSceneManager()->addEmptySceneNode(nullptr, -1);
    owned = new Tank(nullDevice, root);
    quit = false;
  }
  void TearDown() override {
    tank = nullptr;
    quit = false;
    delete owned;
    nullDevice->drop();
  }
  void press(irr::EKEY_CODE key) {
    receiver.OnEvent(keyEvent(key, true));
    receiver.OnEvent(keyEvent(key, false));
  }

  irr::IrrlichtDevice* nullDevice = nullptr;
  Tank* owned = nullptr;
  MyEventReceiver receiver;
};

TEST_F(Receiver, IgnoresEverythingBeforeTheTankExists) {
  tank = nullptr;
  receiver.OnEvent(keyEvent(irr::KEY_ESCAPE, true));
  receiver.OnEvent(keyEvent(irr::KEY_KEY_W, true));
  receiver.OnEvent(mouseEvent(irr::EMIE_MOUSE_MOVED, 100, 50));
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

TEST_F(Receiver, PressKeysActOncePerKeyDown) {
  tank = owned;
  press(irr::KEY_KEY_Q);
  EXPECT_EQ(owned->engine.getGear(), 2);
  receiver.OnEvent(keyEvent(irr::KEY_KEY_Q, true));  // a repeat acts again
  EXPECT_EQ(owned->engine.getGear(), 3);
  press(irr::KEY_KEY_E);
  EXPECT_EQ(owned->engine.getGear(), 2);

  ASSERT_TRUE(owned->paused);
  press(irr::KEY_SPACE);
  EXPECT_FALSE(owned->paused);
  receiver.OnEvent(keyEvent(irr::KEY_SPACE, false));
  EXPECT_FALSE(owned->paused);

  press(irr::KEY_KEY_C);
  EXPECT_GE(owned->jumpWheel, 0);
  EXPECT_LT(owned->jumpWheel, Tank::kWheelCount);

  owned->rootNode->setPosition(irr::core::vector3df(30, 0, 40));
  receiver.OnEvent(keyEvent(irr::KEY_KEY_R, false));
  EXPECT_EQ(owned->rootNode->getPosition(), irr::core::vector3df(30, 0, 40));
  receiver.OnEvent(keyEvent(irr::KEY_KEY_R, true));
  EXPECT_EQ(owned->rootNode->getPosition(), irr::core::vector3df(0, 0, 0));
  EXPECT_EQ(owned->engine.getGear(), 0);
}

TEST_F(Receiver, EscapeQuitsOnDownAndUpAndOtherKeysDoNothing) {
  tank = owned;
  receiver.OnEvent(keyEvent(irr::KEY_KEY_Z, true));
  receiver.OnEvent(keyEvent(irr::KEY_RETURN, true));
  EXPECT_FALSE(quit);
  receiver.OnEvent(keyEvent(irr::KEY_ESCAPE, true));
  EXPECT_TRUE(quit);
  quit = false;
  receiver.OnEvent(keyEvent(irr::KEY_ESCAPE, false));
  EXPECT_TRUE(quit);
}

TEST_F(Receiver, MousePositionSwingsTheCamera) {
  tank = owned;
  receiver.OnEvent(mouseEvent(irr::EMIE_MOUSE_MOVED, 120, 45));
  EXPECT_EQ(owned->cameraPivot->getRotation(), irr::core::vector3df(45, 120, 0));
  receiver.OnEvent(mouseEvent(irr::EMIE_LMOUSE_PRESSED_DOWN, 300, 300));
  receiver.OnEvent(mouseEvent(irr::EMIE_MOUSE_WHEEL, 300, 300));
  EXPECT_EQ(owned->cameraPivot->getRotation(), irr::core::vector3df(45, 120, 0));
}

// On a settled tank every row of the window keeps the camera clear of the ground, and one
// pixel down turns it by one degree, never more: it folds back instead of jumping.
TEST_F(Receiver, EveryCursorRowKeepsTheCameraAboveTheGround) {
  constexpr int kWindowWidth = 1024;           // px
  constexpr int kWindowHeight = 768;           // px
  constexpr float kLowestCamera = 0.5f;        // m above the ground plane
  constexpr float kDegreeTol = 1e-4f;          // deg
  constexpr float kSettleStep = 1.0f / 60.0f;  // s
  constexpr int kSettleSteps = 600;
  tank = owned;
  irr::scene::ISceneManager* smgr = nullDevice->getSceneManager();
  owned->pause();
  for (int i = 0; i < kSettleSteps; ++i) {
    smgr->drawAll();
    owned->calculatePosition(kSettleStep);
  }
  int lowRows = 0, firstLow = -1, jumps = 0, firstJump = -1;
  float lowest = 1e9f, lastPitch = 0.0f;
  for (int row = 0; row < kWindowHeight; ++row) {
    const int column = kWindowWidth - 1 - row;
    receiver.OnEvent(mouseEvent(irr::EMIE_MOUSE_MOVED, column, row));
    smgr->drawAll();
    const irr::core::vector3df angles = owned->cameraPivot->getRotation();
    ASSERT_EQ(angles.Y, static_cast<float>(column));
    const float height = owned->camera->getAbsolutePosition().Y;
    lowest = std::min(lowest, height);
    if (height < kLowestCamera && lowRows++ == 0) firstLow = row;
    if (row > 0 && std::fabs(std::fabs(angles.X - lastPitch) - 1.0f) > kDegreeTol && jumps++ == 0)
      firstJump = row;
    lastPitch = angles.X;
  }
  EXPECT_EQ(lowRows, 0) << "the first at row " << firstLow << "; lowest " << lowest << " m";
  EXPECT_EQ(jumps, 0) << "the first at row " << firstJump;
}

TEST(StatusText, ShowsGearSpeedInKmhAndFrameRate) {
  wchar_t text[kStatusLength];
  formatStatus(text, 1, 10.0, 60);
  EXPECT_STREQ(text, L"Gear: 1 | Speed: 36.00 km/h | FPS: 60");
  formatStatus(text, -2, -9.2583, 999);
  EXPECT_STREQ(text, L"Gear: -2 | Speed: -33.33 km/h | FPS: 999");
  formatStatus(text, 4, 1e90, 0);  // absurd speeds are cut, never overrun
  EXPECT_EQ(std::wcslen(text), kStatusLength - 1);
}

TEST(Caption, NamesTheDriverAndIsCutToItsBuffer) {
  wchar_t text[kCaptionLength];
  formatCaption(text, L"OpenGL 4.5", 60);
  EXPECT_STREQ(text, L"Ferrox | (OpenGL 4.5) (fps: 60)");
  const std::wstring longName(3000, L'x');
  formatCaption(text, longName.c_str(), 60);
  EXPECT_EQ(std::wcslen(text), kCaptionLength - 1);
  EXPECT_EQ(std::wstring(text).rfind(L"Ferrox | (xxx", 0), 0u);
}

TEST(Caption, IsRewrittenOnlyWhenTheRateChanges) {
  irr::IrrlichtDevice* nullDevice = irr::createDevice(irr::video::EDT_NULL);
  nullDevice->getLogger()->setLogLevel(irr::ELL_NONE);
  int lastFPS = -1;
  EXPECT_TRUE(refreshCaption(nullDevice, 0, lastFPS));  // the first frame always writes
  EXPECT_FALSE(refreshCaption(nullDevice, 0, lastFPS));
  EXPECT_TRUE(refreshCaption(nullDevice, 60, lastFPS));
  EXPECT_EQ(lastFPS, 60);
  EXPECT_FALSE(refreshCaption(nullDevice, 60, lastFPS));
  EXPECT_TRUE(refreshCaption(nullDevice, 59, lastFPS));
  nullDevice->drop();
}

TEST(Assets, AllLoadFromBesideTheProgramAndEveryMissingOneIsNamed) {
  irr::IrrlichtDevice* nullDevice = irr::createDevice(irr::video::EDT_NULL);
  nullDevice->getLogger()->setLogLevel(irr::ELL_NONE);
  EXPECT_TRUE(brokenAssets(nullDevice).empty());  // tests run from bin/

  const fs::path home = fs::current_path();
  const fs::path empty = fs::temp_directory_path() / "ferrox-no-media" / "bin";
  fs::create_directories(empty);
  fs::current_path(empty);
  const std::vector<std::string> missing = brokenAssets(nullDevice);
  fs::current_path(home);
  EXPECT_EQ(missing.size(), 18u);
  EXPECT_EQ(missing.front(), "../media/env/mark2.3ds");
  nullDevice->drop();
}

TEST(Assets, ProgramFindsItsMediaFromAnyDirectory) {
  const fs::path home = fs::current_path();
  enterMediaDirectory();  // ../media is there: stay
  EXPECT_EQ(fs::current_path(), home);

  const fs::path elsewhere = fs::temp_directory_path() / "ferrox-elsewhere" / "bin";
  fs::create_directories(elsewhere);
  fs::current_path(elsewhere);
  enterMediaDirectory();
  EXPECT_EQ(fs::current_path(), fs::read_symlink("/proc/self/exe").parent_path());
  fs::current_path(home);
}

}  // namespace
