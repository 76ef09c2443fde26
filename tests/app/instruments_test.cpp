// The instruments' mapping from the engine model to bars, where they and the neutral hint
// sit on the screen, and the cues that refused shifts and resets raise.
#include "app/instruments.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/cues.h"
#include "app/overlay.h"
#include "app/world.h"
#include "assets/library.h"
#include "sim/Engine.h"
#include "support.h"

namespace {

using engine::Engine;
using support::DrivenScene;

constexpr double kKmhPerMps = 3.6;
constexpr double kScaleStep = 10.0;      // the full scales are multiples of this
constexpr double kBelowBand = 0.5;       // engine speed under a band's start, to look at

double ratio(int gear) { return Engine().gearRatios.at(static_cast<std::size_t>(gear)); }

// The full scales are the least multiples of ten that no forward gear passes with the
// throttle held; the bands start where the next gear up pulls harder. Neutral, reverse and
// top gear have none.
TEST(Instruments, ScalesAndShiftBandsComeFromTheEngineModel) {
  bool engineReached = false, speedReached = false;
  for (int gear = Engine::kFirst; gear <= Engine::kFourth; ++gear) {
    EXPECT_LT(instruments::pullingForce(gear, instruments::engineScale() / ratio(gear)), 0.0);
    EXPECT_LT(instruments::pullingForce(gear, instruments::speedScale() / kKmhPerMps), 0.0);
    engineReached |= instruments::pullingForce(
                         gear, (instruments::engineScale() - kScaleStep) / ratio(gear)) > 0.0;
    speedReached |= instruments::pullingForce(
                        gear, (instruments::speedScale() - kScaleStep) / kKmhPerMps) > 0.0;
  }
  EXPECT_TRUE(engineReached) << "the engine scale is a step too long";
  EXPECT_TRUE(speedReached) << "the speed scale is a step too long";
  EXPECT_EQ(std::fmod(instruments::engineScale(), kScaleStep), 0.0);

  for (int gear = Engine::kFirst; gear < Engine::kFourth; ++gear) {
    const instruments::Band band = instruments::shiftBand(gear);
    ASSERT_FALSE(band.empty()) << gear;
    EXPECT_EQ(band.to, instruments::engineScale());
    const double at = band.from / ratio(gear), below = (band.from - kBelowBand) / ratio(gear);
    EXPECT_GT(instruments::pullingForce(gear, at), 0.0) << "within the gear's reach: " << gear;
    EXPECT_GE(instruments::pullingForce(gear + 1, at), instruments::pullingForce(gear, at));
    EXPECT_LT(instruments::pullingForce(gear + 1, below), instruments::pullingForce(gear, below));
  }
  for (int gear : {Engine::kSecondReverse, Engine::kSecondReverse + 1, Engine::kNeutral,
                   Engine::kFourth, -1, Engine::kFourth + 1})
    EXPECT_TRUE(instruments::shiftBand(gear).empty()) << gear;

  // The model's own step agrees: a tank pulling in first gear gains speed below its band.
  DrivenScene s;
  s.key(irr::KEY_KEY_W, true);
  s.run(1.0f, support::k60Hz);
  const double force = s.tank->engine.force;
  EXPECT_NEAR(instruments::pullingForce(Engine::kFirst, s.tank->engine.speed), force,
              std::fabs(force) * 0.05);
}

// A value fills its share of the bar, a reversing tank's as a forward one's, never beyond.
TEST(Instruments, AValueFillsItsShareOfTheBar) {
  constexpr int kWidth = 200;
  const struct {
    double value, full;
    int px;
  } cases[] = {{0, 50, 0},     {25, 50, 100},     {50, 50, 200}, {80, 50, 200},
               {-25, 50, 100}, {0.1, 50, 0},      {0.3, 50, 1},  {25, 0, 0},
               {NAN, 50, 0},   {INFINITY, 50, 0}, {-80, 50, 200}};
  for (const auto& c : cases)
    EXPECT_EQ(instruments::fill(c.value, c.full, kWidth), c.px) << c.value << " of " << c.full;
}

// At 1024 x 768 the instruments sit bottom right, clear of the status line and of the
// tank in the middle of the chase view; the neutral hint's band clears the status line.
TEST(Instruments, TheGaugesAndTheHintKeepClearOfTheStatusLineAndTheTank) {
  irr::IrrlichtDevice* device = support::createNullDevice();
  ASSERT_TRUE(assets::installAll(device, FERROX_SOURCE_DIR "/bin").empty());
  irr::gui::IGUIFont* font = device->getGUIEnvironment()->getFont(assets::kFont);
  ASSERT_NE(font, nullptr);
  const irr::core::dimension2d<irr::u32> screen(1024, 768);
  const irr::core::rect<irr::s32> whole(0, 0, 1024, 768), tank(312, 234, 712, 534);
  const irr::core::rect<irr::s32> gauges = instruments::area(screen, font);
  EXPECT_TRUE(whole.isRectCollided(gauges) && gauges.isPointInside({1010, 750}));
  EXPECT_GE(gauges.UpperLeftCorner.X, 0);
  EXPECT_FALSE(gauges.isRectCollided(overlay::kStatusRect));
  EXPECT_FALSE(gauges.isRectCollided(tank));
  const irr::core::rect<irr::s32> hint = overlay::hintBand(font, overlay::kNeutralHint);
  EXPECT_GT(hint.UpperLeftCorner.Y, overlay::kStatusRect.LowerRightCorner.Y);
  EXPECT_FALSE(hint.isRectCollided(overlay::kStatusRect));
  device->drop();
}

// Each one-shot command through the receiver: a shift the gearbox refuses raises why (against
// the rolling direction, or at either end), one it makes raises nothing; a reset raises its
// cue; the other commands none. The cues are handed over once.
TEST(Cues, RefusedShiftsAndResetsAreRaisedWithTheirReason) {
  DrivenScene s;
  const auto after = [&s](irr::EKEY_CODE key) {
    s.press(key);
    const cues::Pending p = s.receiver.takeCues();
    return std::wstring(p.refused != nullptr ? p.refused : p.reset ? L"reset" : L"(none)");
  };
  EXPECT_EQ(after(irr::KEY_KEY_E), L"(none)");  // first to neutral at rest
  EXPECT_EQ(after(irr::KEY_KEY_E), L"(none)");  // to first reverse
  s.key(irr::KEY_KEY_W, true);
  s.run(2.0f, support::k60Hz);
  ASSERT_LT(s.tank->engine.speed, -0.5);
  EXPECT_EQ(after(irr::KEY_KEY_Q), cues::kRollingBackwards);
  EXPECT_EQ(s.tank->engine.getGear(), -1);
  EXPECT_EQ(after(irr::KEY_KEY_E), L"(none)") << "second reverse, with the roll";
  EXPECT_EQ(after(irr::KEY_KEY_E), cues::kLowestGear);
  EXPECT_EQ(after(irr::KEY_KEY_R), L"reset");
  EXPECT_EQ(after(irr::KEY_KEY_Q), L"(none)");  // neutral to first
  s.run(2.0f, support::k60Hz);                  // W still held
  ASSERT_GT(s.tank->engine.speed, 0.5);
  EXPECT_EQ(after(irr::KEY_KEY_E), cues::kRollingForwards);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(after(irr::KEY_KEY_Q), L"(none)");
  EXPECT_EQ(after(irr::KEY_KEY_Q), cues::kTopGear);
  EXPECT_EQ(after(irr::KEY_KEY_E), L"(none)") << "down among the forward gears";
  for (auto key : {irr::KEY_KEY_C, irr::KEY_SPACE, irr::KEY_KEY_V, irr::KEY_KEY_M})
    EXPECT_EQ(after(key), L"(none)") << key;
}

// A note shows for two seconds from when it was raised; a later one replaces it. The frame
// shows the note of a cue it was given.
TEST(Cues, ANoteShowsForTwoSecondsAndTheFrameShowsIt) {
  cues::Note note;
  EXPECT_EQ(note.text(0), nullptr);
  note.raise(cues::kRollingForwards, 1000);
  EXPECT_EQ(note.text(1000), cues::kRollingForwards);
  EXPECT_EQ(note.text(2999), cues::kRollingForwards);
  EXPECT_EQ(note.text(3000), nullptr);
  note.raise(cues::kReset, 3500);
  note.raise(cues::kTopGear, 3600);
  EXPECT_EQ(note.text(4000), cues::kTopGear);

  DrivenScene s;
  Frame frame(s.device, nullptr);
  frame.draw(*s.tank);
  EXPECT_EQ(frame.note(), nullptr);
  cues::Pending pending;
  pending.reset = true;
  frame.cue(pending);
  frame.draw(*s.tank);
  EXPECT_EQ(frame.note(), cues::kReset);
  pending.refused = cues::kRollingBackwards;
  frame.cue(pending);
  frame.draw(*s.tank);
  EXPECT_EQ(frame.note(), cues::kRollingBackwards) << "the refusal says more than the reset";
}

}  // namespace
