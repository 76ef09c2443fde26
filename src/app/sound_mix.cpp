#include "app/sound_mix.h"

#include <algorithm>
#include <cmath>

#include "app/sound_synth.h"
#include "sim/Engine.h"

namespace sound {
namespace {

// The engine speed spans 0 to about 48 in the forward gears (ratio x road speed), which the
// note spreads from a diesel's idle rumble to a working growl.
constexpr double kIdleHz = 40.0;    // Hz at engine speed 0
constexpr double kHzPerRpm = 2.5;   // Hz per unit of engine speed
constexpr double kRpmFull = 48.0;   // engine speed where the note is at its loudest
constexpr double kIdleGain = 0.24;  // off the throttle
constexpr double kPullGain = 0.6;   // with the throttle held
constexpr double kRpmLift = 0.25;   // share of the gain that grows with engine speed
// The tracks: the rumble's loop was synthesized for this track speed, and is full at the
// other. A turning tank's outer track runs faster than its hull, by the yaw rate times the
// track's distance from the hull's axis.
constexpr double kRumbleSpeed = 3.0;       // m/s at rate 1
constexpr double kRumbleFullSpeed = 15.0;  // m/s, and faster: full rumble
constexpr double kRumbleGain = 0.35;
constexpr double kLowestRate = 0.25;  // the rumble's rate at a crawl
constexpr double kHighestRate = 4.0;  // and at full speed
constexpr double kTrackSide = 1.7;    // m, a track's centre from the hull's axis
constexpr double kRadPerDeg = 3.141592653589793 / 180.0;

constexpr double kMasterGain = 0.6;   // headroom for every voice together
constexpr double kGainGlide = 0.005;  // s, the time constant of a voice's gain change

}  // namespace

Voices Mixer::next(const engine::Engine& engine, bool paused, bool muted, const cues::Pending& cues,
                   float yawRate) {
  const double rpm = std::fabs(engine.rpm);
  const double tracks =
      std::fabs(engine.speed) + std::fabs(static_cast<double>(yawRate)) * kRadPerDeg * kTrackSide;
  const double load = std::min(rpm / kRpmFull, 1.0);
  Voices v;
  v.audible = !paused && !muted;
  v.noteHz = static_cast<float>(kIdleHz + kHzPerRpm * rpm);
  v.noteGain = static_cast<float>((engine.accelerating ? kPullGain : kIdleGain) *
                                  (1.0 - kRpmLift + kRpmLift * load));
  v.rumbleRate = static_cast<float>(std::clamp(tracks / kRumbleSpeed, kLowestRate, kHighestRate));
  // The rumble grows fastest at a crawl, where tracks grinding round on the spot are heard.
  v.rumbleGain =
      static_cast<float>(kRumbleGain * std::sqrt(std::min(tracks / kRumbleFullSpeed, 1.0)));
  // A reset puts the tank at rest in neutral at once, where a shift leaves the speed as it
  // was: a gear that changes as the speed drops to standstill is a reset, and not heard.
  // A shift while nothing is heard is not heard later either; nor are the cues.
  const bool reset = engine.speed == 0.0 && speed_ != 0.0;
  v.clunk = gear_ >= 0 && engine.gear != gear_ && !reset && !cues.reset && v.audible;
  v.refused = cues.refused != nullptr && v.audible;
  v.reset = cues.reset && v.audible;
  gear_ = engine.gear;
  speed_ = engine.speed;
  return v;
}

Renderer::Renderer()
    : note_(engineNote()),
      rumble_(trackRumble()),
      clunk_{gearClunk(), 0},
      refused_{refusedShift(), 0},
      reset_{resetChime(), 0},
      voices_() {
  clunk_.at = clunk_.samples.size();
  refused_.at = refused_.samples.size();
  reset_.at = reset_.samples.size();
}

void Renderer::set(const Voices& voices) {
  voices_ = voices;
  if (voices.clunk) clunk_.at = 0;
  if (voices.refused) refused_.at = 0;
  if (voices.reset) reset_.at = 0;
}

void Renderer::render(std::int16_t* out, int count) {
  const double fadeStep = 1.0 / (kFade * kSampleRate);
  const double glide = 1.0 - std::exp(-1.0 / (kGainGlide * kSampleRate));
  const double noteRate = voices_.noteHz / kNoteHz;
  const double noteLength = static_cast<double>(note_.size());
  const double rumbleLength = static_cast<double>(rumble_.size());
  // Between two samples of a loop, weighted by where the phase falls.
  const auto at = [](const std::vector<std::int16_t>& loop, double phase) {
    const auto i = static_cast<std::size_t>(phase);
    const double f = phase - static_cast<double>(i);
    return (loop[i] * (1.0 - f) + loop[(i + 1) % loop.size()] * f) / 32768.0;
  };
  for (int n = 0; n < count; ++n) {
    level_ = wantsSound() ? std::min(1.0, level_ + fadeStep) : std::max(0.0, level_ - fadeStep);
    if (level_ <= 0.0) {
      // Faded out: the one-shots are not heard later either.
      clunk_.at = clunk_.samples.size();
      refused_.at = refused_.samples.size();
      reset_.at = reset_.samples.size();
      out[n] = 0;
      continue;
    }
    noteGain_ += glide * (voices_.noteGain - noteGain_);
    rumbleGain_ += glide * (voices_.rumbleGain - rumbleGain_);
    double x = noteGain_ * at(note_, notePhase_) + rumbleGain_ * at(rumble_, rumblePhase_);
    for (Shot* shot : {&clunk_, &refused_, &reset_})
      if (shot->at < shot->samples.size()) x += shot->samples[shot->at++] / 32768.0;
    notePhase_ = std::fmod(notePhase_ + noteRate, noteLength);
    rumblePhase_ = std::fmod(rumblePhase_ + voices_.rumbleRate, rumbleLength);
    const double sample = std::clamp(x * kMasterGain * level_ * 32768.0, -32768.0, 32767.0);
    out[n] = static_cast<std::int16_t>(std::lround(sample));
  }
}

}  // namespace sound
