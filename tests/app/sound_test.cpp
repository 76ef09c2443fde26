#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "app/sound_mix.h"
#include "app/sound_synth.h"
#include "sim/Tank.h"
#include "support.h"

namespace {

constexpr double kThrottleDb = 3.0;  // dB: the throttle is heard at least this much louder
constexpr double kShiftDrop = 0.85;  // a shift up lowers the note to at most this share
constexpr double kRise = 2.0;        // first gear's pull raises the note at least this much

// The mixer heard once a frame, as the program hears it, over a tank driven by its commands.
struct Heard {
  support::TankScene scene;
  sound::Mixer mixer;
  bool muted = false;
  sound::Voices frame() {
    scene.frame(support::k60Hz);
    return mixer.next(scene.tank->engine, scene.tank->paused, muted);
  }
  double db(float gain) const { return 20.0 * std::log10(gain); }
};

// Pulling away in first gear the note climbs with the engine speed; a shift up drops it
// with one clunk; the throttle is louder than coasting at the same engine speed; the
// tracks rumble louder as the road speed grows, and not at all at a standstill.
TEST(SoundMix, NoteFollowsTheEngineSpeedTheThrottleAndTheShifts) {
  Heard h;
  Tank& t = *h.scene.tank;
  const sound::Voices idle = h.frame();
  EXPECT_EQ(idle.rumbleGain, 0.0f);
  t.accelerate(true);
  std::vector<std::pair<double, sound::Voices>> pull;  // engine speed, voices
  for (int i = 0; i < 180; ++i) {
    const sound::Voices v = h.frame();
    EXPECT_FALSE(v.clunk) << i;
    pull.emplace_back(std::fabs(t.engine.rpm), v);
  }
  std::sort(pull.begin(), pull.end(), [](auto& a, auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < pull.size(); ++i) {
    EXPECT_GE(pull[i].second.noteHz, pull[i - 1].second.noteHz) << pull[i].first;
    EXPECT_GE(pull[i].second.rumbleGain, pull[i - 1].second.rumbleGain) << pull[i].first;
  }
  const sound::Voices top = pull.back().second;
  EXPECT_GE(top.noteHz, kRise * idle.noteHz);
  EXPECT_GT(top.rumbleGain, 0.0f);

  t.setGearUp();
  const sound::Voices shifted = h.frame();
  EXPECT_TRUE(shifted.clunk);
  EXPECT_LE(shifted.noteHz, kShiftDrop * top.noteHz);
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(h.frame().clunk) << "the clunk is heard once";

  const sound::Voices pulling = h.frame();
  t.accelerate(false);
  const sound::Voices coasting = h.frame();
  EXPECT_NEAR(coasting.noteHz, pulling.noteHz, 0.01 * pulling.noteHz);
  EXPECT_GE(h.db(pulling.noteGain), h.db(coasting.noteGain) + kThrottleDb);

  // Backwards the road speed is negative; the tracks rumble as forwards.
  Heard back;
  back.scene.tank->setGearDown();
  back.scene.tank->setGearDown();
  back.scene.tank->accelerate(true);
  for (int i = 0; i < 120; ++i) back.frame();
  ASSERT_LT(back.scene.tank->engine.speed, -0.5);
  const sound::Voices reversing = back.frame();
  EXPECT_GT(reversing.noteHz, idle.noteHz);
  EXPECT_GT(reversing.rumbleGain, 0.0f);
}

// Paused or muted nothing is heard, and a shift made then is not heard later either; a
// reset, which leaves the tank at rest in neutral, brings back the idle note without a clunk.
TEST(SoundMix, PauseAndMuteSilenceAndResetIsNoShift) {
  Heard h;
  Tank& t = *h.scene.tank;
  const sound::Voices idle = h.frame();
  EXPECT_TRUE(idle.audible);
  t.accelerate(true);
  h.scene.run(2.0f, support::k60Hz);
  t.pause();
  t.setGearUp();
  EXPECT_FALSE(h.frame().audible);
  EXPECT_FALSE(h.frame().clunk);
  t.pause();
  const sound::Voices resumed = h.frame();
  EXPECT_TRUE(resumed.audible && !resumed.clunk);
  h.muted = true;
  t.setGearUp();
  const sound::Voices muted = h.frame();
  EXPECT_FALSE(muted.audible || muted.clunk);
  h.muted = false;
  EXPECT_FALSE(h.frame().clunk);

  ASSERT_GT(t.engine.speed, 1.0);
  t.reset();
  const sound::Voices reset = h.frame();
  EXPECT_FALSE(reset.clunk);
  EXPECT_EQ(reset.noteHz, idle.noteHz);
  EXPECT_EQ(reset.rumbleGain, 0.0f);
  t.setGearUp();
  EXPECT_TRUE(h.frame().clunk) << "from neutral at a standstill, a shift is heard";
}

// Normalized autocorrelation of a loop at a lag of `lag` samples, read round the seam.
double correlation(const std::vector<std::int16_t>& x, double lag) {
  const std::size_t n = x.size();
  double xy = 0.0, xx = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double at = static_cast<double>(i) + lag;
    const std::size_t j = static_cast<std::size_t>(at);
    const double f = at - static_cast<double>(j);
    const double y = (1 - f) * x[j % n] + f * x[(j + 1) % n];
    xy += x[i] * y;
    xx += static_cast<double>(x[i]) * x[i];
  }
  return xy / xx;
}

// The loops join without a click: the step across the seam is no steeper than the loop's
// steeper steps. Every sound uses most of the range without clipping, the clunk ends silent, and
// the note repeats at its nominal pitch, to which the mixer's pitches are relative.
TEST(SoundSynth, LoopsJoinSmoothlyAndTheNoteHasItsNominalPitch) {
  constexpr double kFull = 32767.0;
  const std::vector<std::int16_t> note = sound::engineNote(), rumble = sound::trackRumble(),
                                  clunk = sound::gearClunk();
  constexpr double kSeamSteps = 2.5;  // the seam's step against the loop's rms step, at most
  for (const auto* loop : {&note, &rumble}) {
    ASSERT_EQ(loop->size(), static_cast<std::size_t>(sound::kSampleRate));
    double squares = 0.0;
    for (std::size_t i = 1; i < loop->size(); ++i)
      squares += std::pow((*loop)[i] - (*loop)[i - 1], 2.0);
    const double rmsStep = std::sqrt(squares / static_cast<double>(loop->size() - 1));
    EXPECT_LE(std::abs(loop->front() - loop->back()), kSeamSteps * rmsStep);
  }
  for (const auto* s : {&note, &rumble, &clunk}) {
    int peak = 0;
    for (std::int16_t x : *s) peak = std::max(peak, std::abs(static_cast<int>(x)));
    EXPECT_GT(peak, 0.5 * kFull);
    EXPECT_LT(peak, kFull);
  }
  EXPECT_EQ(clunk.back(), 0);
  const double period = sound::kSampleRate / sound::kNoteHz;  // samples
  EXPECT_GT(correlation(note, period), 0.9);
  for (double off : {0.8, 0.9, 1.1, 1.25}) EXPECT_LT(correlation(note, off * period), 0.6) << off;
}

}  // namespace
