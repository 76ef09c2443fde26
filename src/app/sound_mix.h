#pragma once

namespace engine {
class Engine;
}

// What the tank sounds like in a given state, apart from any audio library: the engine's
// note, the rumble of the tracks and the clunk of a gear change. The player hears the model
// as it is: the note's pitch follows the engine speed, which a shift up lowers at once.
namespace sound {

// What the sources play for one frame.
struct Voices {
  bool audible;      // false: every source silent (the tank paused, or the sound muted)
  float noteHz;      // Hz, the engine note's fundamental
  float noteGain;    // 0..1
  float rumbleRate;  // playback rate of the tracks' rumble, 1 as it was synthesized
  float rumbleGain;  // 0..1
  bool clunk;        // a gear change to be heard: the clunk starts now
};

// Maps the engine's state, frame by frame, to the voices. It remembers the gear, so that a
// change is heard once, in the frame that first sees it.
class Mixer {
 public:
  Voices next(const engine::Engine& engine, bool paused, bool muted);

 private:
  int gear_ = -1;       // gearbox position at the last frame, -1 before the first
  double speed_ = 0.0;  // m/s at the last frame
};

}  // namespace sound
