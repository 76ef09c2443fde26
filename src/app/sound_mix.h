#pragma once

#include <cstdint>
#include <vector>

#include "app/cues.h"

namespace engine {
class Engine;
}

// What the tank sounds like in a given state, apart from any audio library: the engine's
// note, the rumble of the tracks, the clunk of a gear change and the cues of a refused shift
// and of a reset. The player hears the model as it is: the note's pitch follows the engine
// speed, which a shift up lowers at once.
namespace sound {

// What the sound plays for one frame.
struct Voices {
  bool audible;      // false: everything fades out (the tank paused, or the sound muted)
  float noteHz;      // Hz, the engine note's fundamental
  float noteGain;    // 0..1
  float rumbleRate;  // playback rate of the tracks' rumble, 1 as it was synthesized
  float rumbleGain;  // 0..1
  bool clunk;        // a gear change to be heard: the clunk starts now
  bool refused;      // a refused shift: its cue starts now
  bool reset;        // a reset: its cue starts now
};

// Maps the engine's state, frame by frame, to the voices. It remembers the gear, so that a
// change is heard once, in the frame that first sees it.
class Mixer {
 public:
  // `yawRate`, deg/s, turns the tracks as well as the road speed does: a tank turning on
  // the spot rumbles.
  Voices next(const engine::Engine& engine, bool paused, bool muted,
              const cues::Pending& cues = cues::Pending(), float yawRate = 0.0f);

 private:
  int gear_ = -1;       // gearbox position at the last frame, -1 before the first
  double speed_ = 0.0;  // m/s at the last frame
};

// Turns the voices into samples at kSampleRate, as the device asks for them. Every change
// of loudness glides: the whole sound fades in and out over kFade, whenever it starts or
// stops (a pause, the mute, the window out of use, the end), and the voices' gains follow
// the frames smoothly; a jump from sound to silence in one sample is heard as a pop.
class Renderer {
 public:
  static constexpr double kFade = 0.02;  // s, from full to silent or back

  Renderer();
  // The voices from now on; a one-shot they start plays from its beginning.
  void set(const Voices& voices);
  // Fades out, whatever the voices say, until `quiet` is false again.
  void quiet(bool quiet) { quiet_ = quiet; }
  // `count` more samples into `out`.
  void render(std::int16_t* out, int count);
  // Faded out completely: what follows is silence until the next audible voices.
  bool silent() const { return level_ <= 0.0 && !wantsSound(); }

 private:
  bool wantsSound() const { return voices_.audible && !quiet_; }
  struct Shot {  // a one-shot sound and how far it has played
    std::vector<std::int16_t> samples;
    std::size_t at;
  };
  std::vector<std::int16_t> note_, rumble_;
  Shot clunk_, refused_, reset_;
  Voices voices_;
  bool quiet_ = false;
  double level_ = 0.0;     // 0..1, the whole sound's fade
  double noteGain_ = 0.0;  // the gains as they glide toward the voices'
  double rumbleGain_ = 0.0;
  double notePhase_ = 0.0;    // samples into the note's loop
  double rumblePhase_ = 0.0;  // samples into the rumble's loop
};

}  // namespace sound
