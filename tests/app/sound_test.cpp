#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/sound_mix.h"
#include "app/sound_synth.h"
#include "support.h"

namespace {

constexpr double kThrottleDb = 3.0;  // dB: the throttle is heard at least this much louder
constexpr double kShiftDrop = 0.85;  // a shift up lowers the note to at most this share
constexpr double kRise = 2.0;        // first gear's pull raises the note at least this much

// A drive heard once a frame, as the program hears it, through the tank's commands. Pulling
// away in first gear the note climbs with the engine speed; a shift up drops the note with
// one clunk; the throttle is louder than coasting at the same engine speed. Paused nothing is
// heard, and a shift made then is not heard later either. A reset, which leaves the tank at
// rest in neutral, brings back no clunk. Backwards, where the speed is negative, the tracks
// rumble as forwards.
TEST(SoundMix, FollowsTheDriveAndIsSilentPaused) {
  support::TankScene scene;
  Tank& tank = *scene.tank;
  sound::Mixer mixer;
  const auto frame = [&] {
    scene.frame(support::k60Hz);
    return mixer.next(tank.engine, tank.paused, false);
  };
  const sound::Voices idle = frame();
  tank.accelerate(true);
  sound::Voices top = idle;
  for (int i = 0; i < 180; ++i) top = frame();
  EXPECT_GE(top.noteHz, kRise * idle.noteHz);
  tank.setGearUp();
  EXPECT_LE(frame().noteHz, kShiftDrop * top.noteHz);
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(frame().clunk) << "the clunk is heard once";
  const sound::Voices pulling = frame();
  tank.accelerate(false);
  const sound::Voices coasting = frame();
  EXPECT_GE(20.0 * std::log10(pulling.noteGain / coasting.noteGain), kThrottleDb);

  tank.pause();
  tank.setGearUp();
  EXPECT_FALSE(frame().audible);
  tank.pause();
  EXPECT_FALSE(frame().clunk) << "a shift while paused is not heard later";

  ASSERT_GT(tank.engine.speed, 1.0);
  tank.reset();
  EXPECT_FALSE(frame().clunk);
  tank.setGearDown();
  tank.accelerate(true);
  for (int i = 0; i < 120; ++i) frame();
  ASSERT_LT(tank.engine.speed, -0.5);
  EXPECT_GT(frame().rumbleGain, 0.0f);
}

// The loops join without a click: the step across the seam is no steeper than the loop's
// steeper steps. The note repeats at its nominal pitch, to which the mixer's pitches are
// relative: of the lags from 0.6 to 1.8 of its period, the note correlates best with itself,
// round the seam, at that period.
TEST(SoundSynth, LoopsJoinSmoothlyAndTheNoteHasItsNominalPitch) {
  constexpr double kSeamSteps = 2.5;  // the seam's step against the loop's rms step, at most
  const std::vector<std::int16_t> note = sound::engineNote();
  for (const auto& loop : {note, sound::trackRumble()}) {
    ASSERT_EQ(loop.size(), static_cast<std::size_t>(sound::kSampleRate));
    double squares = 0.0;
    for (std::size_t i = 1; i < loop.size(); ++i) squares += std::pow(loop[i] - loop[i - 1], 2.0);
    const double rmsStep = std::sqrt(squares / static_cast<double>(loop.size() - 1));
    EXPECT_LE(std::abs(loop.front() - loop.back()), kSeamSteps * rmsStep);
  }
  const double period = sound::kSampleRate / sound::kNoteHz;  // samples
  std::size_t best = 0;
  double most = 0.0;
  for (auto lag = static_cast<std::size_t>(0.6 * period); lag < 1.8 * period; ++lag) {
    double sum = 0.0;
    for (std::size_t i = 0; i < note.size(); ++i)
      sum += static_cast<double>(note[i]) * note[(i + lag) % note.size()];
    if (sum > most) {
      most = sum;
      best = lag;
    }
  }
  EXPECT_NEAR(static_cast<double>(best), period, 1.0);
}

// The cues are heard once, in the frame that raised them, and only while sound is heard; a
// reset's cue stands in for the clunk of its gear change. A tank turning on the spot, its
// road speed 0, rumbles; one standing still does not.
TEST(SoundMix, CuesAreHeardOnceAndTurningOnTheSpotRumbles) {
  support::DrivenScene s;
  sound::Mixer mixer;
  const auto frame = [&](const cues::Pending& cues = cues::Pending(), bool muted = false) {
    s.frame(support::k60Hz);
    return mixer.next(s.tank->engine, s.tank->paused, muted, cues, s.tank->angularVelocity.Y);
  };
  cues::Pending refused, reset;
  refused.refused = cues::kRollingBackwards;
  reset.reset = true;
  frame();
  EXPECT_TRUE(frame(refused).refused);
  EXPECT_FALSE(frame().refused);
  EXPECT_FALSE(frame(refused, true).refused) << "muted";
  s.press(irr::KEY_KEY_R);
  const sound::Voices afterReset = frame(reset);
  EXPECT_TRUE(afterReset.reset);
  EXPECT_FALSE(afterReset.clunk);
  EXPECT_FALSE(frame().reset);
  EXPECT_EQ(frame().rumbleGain, 0.0f) << "at rest";
  s.key(irr::KEY_KEY_A, true);
  for (int i = 0; i < 60; ++i) frame();
  ASSERT_EQ(s.tank->engine.speed, 0.0);
  EXPECT_GT(frame().rumbleGain, 0.02f);
}

// Samples of a renderer playing steady voices, and the largest step between neighbours.
struct Heard {
  std::vector<std::int16_t> samples;
  void take(sound::Renderer& r, double seconds) {
    const std::size_t from = samples.size();
    samples.resize(from + static_cast<std::size_t>(seconds * sound::kSampleRate));
    r.render(samples.data() + from, static_cast<int>(samples.size() - from));
  }
  int largestStep(std::size_t from, std::size_t to) const {
    int most = 0;
    for (std::size_t i = std::max<std::size_t>(from, 1); i < to; ++i)
      most = std::max(most, std::abs(samples[i] - samples[i - 1]));
    return most;
  }
};

// Every start and stop fades over 10 to 30 ms: going silent (paused, muted), going quiet (the
// window out of use) and back, the steps between samples are never larger than in steady
// sound. A one-shot started while faded out is not heard later.
TEST(SoundRender, EveryStartAndStopFadesWithoutAStep) {
  constexpr double kShortest = 0.010, kLongest = 0.030;  // s of a fade
  constexpr double kSteady = 1.0;                        // s: every sample of both loops at rate 1
  sound::Renderer r;
  sound::Voices v{true, static_cast<float>(sound::kNoteHz), 0.6f, 1.0f, 0.35f, false, false, false};
  Heard h;
  r.set(v);
  h.take(r, 0.1);
  const std::size_t steadyFrom = h.samples.size();
  h.take(r, kSteady);
  const int steady = h.largestStep(steadyFrom, h.samples.size());
  ASSERT_GT(steady, 100);
  const auto stopsWithin = [&](const char* what) {
    const std::size_t from = h.samples.size();
    h.take(r, 0.1);
    std::size_t last = from;  // the last sound before the silence
    for (std::size_t i = from; i < h.samples.size(); ++i)
      if (h.samples[i] != 0) last = i;
    const double fade = static_cast<double>(last - from) / sound::kSampleRate;
    EXPECT_GE(fade, kShortest) << what;
    EXPECT_LE(fade, kLongest) << what;
    EXPECT_LE(h.largestStep(from - 1, h.samples.size()), steady) << what;
    EXPECT_TRUE(r.silent()) << what;
  };
  const auto startsWithin = [&](const char* what) {
    const std::size_t from = h.samples.size();
    h.take(r, 0.1);
    double peakEarly = 0.0, peakLate = 0.0;  // of the first 5 ms, and after the fade
    for (std::size_t i = from; i < h.samples.size(); ++i) {
      const double t = static_cast<double>(i - from) / sound::kSampleRate;
      if (t < 0.005) peakEarly = std::max(peakEarly, std::fabs(1.0 * h.samples[i]));
      if (t > kLongest) peakLate = std::max(peakLate, std::fabs(1.0 * h.samples[i]));
    }
    EXPECT_LT(peakEarly, 0.5 * peakLate) << what << ": no fade in";
    EXPECT_LE(h.largestStep(from - 1, h.samples.size()), steady) << what;
    EXPECT_FALSE(r.silent()) << what;
  };
  v.audible = false;
  r.set(v);
  stopsWithin("paused");
  v.clunk = true;
  r.set(v);  // a shift while nothing is heard
  v.clunk = false;
  v.audible = true;
  r.set(v);
  startsWithin("resumed");
  r.quiet(true);
  stopsWithin("out of use");
  r.quiet(false);
  startsWithin("back in use");
  // The fade in above began at the loops' level: no clunk came back with it.
  const std::size_t end = h.samples.size();
  h.take(r, 0.1);
  EXPECT_LE(h.largestStep(end, h.samples.size()), steady);
}

// The cues' sounds are short and unlike the clunk: higher (many more crossings of zero a
// second) and quieter, and each begins and ends at rest.
TEST(SoundSynth, CuesAreShortAndUnlikeTheClunk) {
  constexpr double kLongest = 0.4;  // s
  constexpr double kUnlike = 2.0;   // times the clunk's zero crossings a second, at least
  const auto crossings = [](const std::vector<std::int16_t>& x) {  // a second
    int n = 0;
    for (std::size_t i = 1; i < x.size(); ++i) n += (x[i] >= 0) != (x[i - 1] >= 0);
    return n * sound::kSampleRate / static_cast<double>(x.size());
  };
  const auto peak = [](const std::vector<std::int16_t>& x) {
    int most = 0;
    for (std::int16_t s : x) most = std::max(most, std::abs(static_cast<int>(s)));
    return most;
  };
  const std::vector<std::int16_t> clunk = sound::gearClunk(), refused = sound::refusedShift(),
                                  chime = sound::resetChime();
  for (const auto* cue : {&refused, &chime}) {
    EXPECT_LE(cue->size(), kLongest * sound::kSampleRate);
    EXPECT_GE(crossings(*cue), kUnlike * crossings(clunk));
    EXPECT_LT(peak(*cue), peak(clunk));
    EXPECT_EQ(cue->front(), 0);
    EXPECT_LT(std::abs(cue->back()), 100);
  }
}

}  // namespace
