#include <gtest/gtest.h>

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

}  // namespace
