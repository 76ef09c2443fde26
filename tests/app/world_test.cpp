#include "app/world.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <cwchar>
#include <string>
#include <tuple>
#include <utility>

#include "app/overlay.h"
#include "app/sound.h"
#include "support.h"

namespace {

using support::DrivenScene;

TEST(Texts, StatusAndCaptionAreFormattedAndTheCaptionCutToItsBuffer) {
  wchar_t status[kStatusLength];
  formatStatus(status, -2, -9.2583, 999);
  EXPECT_STREQ(status, L"Gear: -2 | Speed: -33.33 km/h | FPS: 999");
  wchar_t caption[kCaptionLength];
  formatCaption(caption, L"OpenGL 2.1", 60);
  EXPECT_STREQ(caption, L"Ferrox | (OpenGL 2.1) (fps: 60)");
  formatCaption(caption, std::wstring(3000, L'x').c_str(), 60);
  EXPECT_EQ(std::wcslen(caption), kCaptionLength - 1);
}

// Each pass captions the new rate when it changed and steps by exactly its inverse. After a
// wait in which nothing was drawn, the rate measured before the wait steps the tank and shows
// in the caption.
TEST(FrameLoop, CaptionsAChangedRateAndStepsFollowTheRateMeasured) {
  support::TankScene s;
  s.tank->accelerate(true);
  Frame frame(s.device, nullptr);
  for (const auto& [rate, captioned] : {std::pair{0, true}, {60, true}, {60, false}})
    EXPECT_EQ(frame.measure(rate), captioned) << rate;
  engine::Engine reference = s.tank->engine;
  constexpr int kBefore = 37;  // 1/s, not the null driver's
  ASSERT_NE(s.device->getVideoDriver()->getFPS(), kBefore);
  frame.measure(kBefore);
  frame.resume();
  frame.pass(*s.tank);
  bool on = true, off = false;
  float dt = 1.0f / kBefore;
  reference.calculateAcceleration(on, off, dt);
  EXPECT_EQ(frame.captionFPS(), kBefore);
  EXPECT_EQ(s.tank->engine.getSpeed(), reference.getSpeed());
}

// Escape arrives inside run(): that pass is still drawn, captioned and stepped. A stop
// signal ends the loop before anything more is drawn or stepped.
TEST(FrameLoop, EscapesPassIsWholeAndASignalEndsTheLoopAtOnce) {
  constexpr int kEscape = -1;  // beside the signals' numbers
  for (int end : {kEscape, SIGINT, SIGTERM, SIGHUP}) {
    support::TankScene s;
    s.tank->accelerate(true);
    Frame frame(s.device, nullptr);
    MyEventReceiver receiver;
    Sound sound;  // unopened: silent
    // Each signal at its default action, whatever the runner inherited (nohup ignores SIGHUP).
    for (int number : {SIGINT, SIGTERM, SIGHUP}) std::signal(number, SIG_DFL);
    catchStopSignals();
    if (end > 0) std::raise(end);
    quit = true;  // were the signal ignored, Escape would still end the loop after a pass
    runFrameLoop(s.device, frame, *s.tank, receiver, sound);
    quit = false;
    stopSignal = 0;
    const bool whole = end == kEscape;
    EXPECT_EQ(frame.captionFPS(), whole ? s.device->getVideoDriver()->getFPS() : -1) << end;
    EXPECT_EQ(std::wstring(frame.status()).empty(), !whole) << end;
    EXPECT_EQ(s.tank->engine.getSpeed() > 0.0, whole) << end;
  }
  for (int number : {SIGINT, SIGTERM, SIGHUP}) std::signal(number, SIG_DFL);
}

// While paused the banner says how to go on; in neutral the hint says how to engage a gear.
TEST(FrameOverlay, BannerWhilePausedAndGearHintInNeutral) {
  DrivenScene s(false);
  Frame frame(s.device, nullptr);
  auto text = [](const wchar_t* t) { return std::wstring(t != nullptr ? t : L"(none)"); };
  for (const auto& [key, banner, hint] :  // a new tank: paused, in first gear
       {std::tuple{irr::KEY_KEY_Z, overlay::kPausedBanner, static_cast<const wchar_t*>(nullptr)},
        {irr::KEY_SPACE, nullptr, nullptr},
        {irr::KEY_KEY_R, nullptr, overlay::kNeutralHint}}) {
    s.press(key);
    frame.draw(*s.tank);
    EXPECT_EQ(text(frame.banner()), text(banner)) << key;
    EXPECT_EQ(text(frame.hint()), text(hint)) << key;
  }
}

// F1's panel names the keys as bound: each command's key in the row of what it does, every
// command in some row.
TEST(FrameOverlay, KeysPanelNamesTheKeysAsBound) {
  namespace command = assets::command;
  assets::Keys keys = assets::kDefaultKeys;
  keys[command::kThrottle] = irr::KEY_UP;
  keys[command::kSteerRight] = irr::KEY_RIGHT;
  keys[command::kKeysPanel] = irr::KEY_F2;
  std::wstring panel;  // "keys: action" lines
  std::wstring boundPanel;
  for (std::size_t row = 0; row < overlay::panelRows(); ++row) {
    wchar_t text[overlay::kKeyTextLength];
    const wchar_t* action = overlay::panelRow(assets::kDefaultKeys, row, text);
    panel += std::wstring(text) + L": " + action + L"\n";
    overlay::panelRow(keys, row, text);
    boundPanel += std::wstring(text) + L": " + action + L"\n";
  }
  for (const wchar_t* line : {L"W: throttle", L"A / D: steer", L"F1: show / hide this panel",
                              L"H: show / hide the engine and road speed gauges", L"Escape: quit"})
    EXPECT_NE(panel.find(line), std::wstring::npos) << line;
  for (const wchar_t* line : {L"Up: throttle", L"A / Right: steer", L"F2: show / hide this panel"})
    EXPECT_NE(boundPanel.find(line), std::wstring::npos) << line;
  for (const wchar_t* gone : {L"W:", L"F1:"})
    EXPECT_EQ(boundPanel.find(gone), std::wstring::npos) << gone;
  // Every key of the defaults has a row: the panel names each bound key once.
  for (irr::EKEY_CODE key : assets::kDefaultKeys) {
    const char* name = assets::keyName(key);
    const std::wstring wide(name, name + std::strlen(name));
    const bool alone = panel.find(L"\n" + wide + L":") != std::wstring::npos;
    const bool first = panel.find(L"\n" + wide + L" / ") != std::wstring::npos;
    const bool second = panel.find(L" / " + wide + L":") != std::wstring::npos;
    EXPECT_TRUE(alone || first || second || panel.rfind(wide + L":", 0) == 0) << name;
  }
}

}  // namespace
