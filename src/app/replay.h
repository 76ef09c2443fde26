#pragma once

// Playing a recorded drive back: its commands reach the tank as they reached it when it was
// recorded, and each frame's world positions and step follow, so that the tank ends in the
// same state bit for bit.

#include <irrlicht.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "assets/replay_file.h"

class Tank;

namespace replay {

using Held = void (Tank::*)(bool);
using Press = void (Tank::*)();

// The commands by their codes in a recording.
extern const Held kHeld[assets::replay::kHeldCommands];
extern const Press kPress[assets::replay::kPressCommands];
int heldCode(Held command);    // -1 for none of them
int pressCode(Press command);  // -1 for none of them

// Everything of the tank's state that its drive changes, exactly: the nodes' places, the
// rates, the engine, the springs, the turret, the commands held. The chase camera is left
// out: it moves nothing, and whoever watches a replay may swing it.
std::uint64_t digest(const Tank& tank);

// Recomputes the world positions of the tank's nodes, as drawing a frame does: a step reads
// the mounts' heights from them.
void refresh(Tank& tank);

// Prints the tank's state: its place, heading, speed, gear, the hull's pitch and roll, the
// turret's yaw and the gun's elevation, each value exact enough to read back the same.
void printState(std::FILE* out, const Tank& tank);

// Plays a checked recording on a tank built as the program builds it, with the generator
// seeded from the recording.
class Player {
 public:
  // `out` gets the final state and the verdict once the last frame has played (none: null);
  // `log` the notes on the way.
  Player(const char* path, const assets::Bytes& bytes, const assets::replay::File& file,
         std::FILE* out, std::FILE* log);

  // The next recorded frame: its commands, the world positions, its step. False when none
  // is left; then the commands after the last frame are given and the verdict is printed.
  bool frame(Tank& tank);
  // Every frame left.
  void finish(Tank& tank);
  // In the window, at the recorded pace: the frames whose steps fit into `seconds` more of
  // playing (a wait longer than kCatchUp counts as that), none while paused.
  void play(Tank& tank, double seconds);

  // The player's own commands in the window: Space pauses the playback, and once the player
  // swings the camera the recorded swings no longer reach it.
  void togglePause() { paused_ = !paused_; }
  bool paused() const { return paused_; }
  void takeCamera() { cameraTaken_ = true; }

  bool done() const { return done_; }
  std::uint32_t played() const { return played_; }
  // 0 when the final state is the recorded one, 1 when not or when the file holds no digest.
  int verdict() const { return verdict_; }

  static constexpr double kCatchUp = 0.25;  // s

 private:
  // Gives the commands up to the next frame; false when none is left (the drive has ended).
  bool next(Tank& tank);
  void give(Tank& tank, const assets::replay::Record& record);
  void end(Tank& tank);

  std::string path_;
  const assets::replay::File& file_;
  assets::replay::Cursor cursor_;
  std::FILE* out_;
  std::FILE* log_;
  float step_ = 0.0f;          // s, of the run being played
  std::uint32_t runLeft_ = 0;  // frames of it still to play
  std::uint32_t played_ = 0;
  double budget_ = 0.0;  // s of playing time not yet spent on frames
  bool paused_ = false;
  bool cameraTaken_ = false;
  bool wheelNoted_ = false;  // a jump drew another wheel than recorded; said once
  bool done_ = false;
  int verdict_ = 1;
};

// Reads `path` as a recording into `bytes` and `file`; false, with the one line that says
// why (naming the file and the byte), when it cannot be read or is refused.
bool load(const char* path, assets::Bytes& bytes, assets::replay::File& file, std::string& why);

// `--replay FILE --headless`: the drive without a window, as fast as it goes, on the null
// device; the final state and whether it matches on `out`. Exit code 0 when it matches, 1
// when not (or the file is cut short), 2 when the file cannot be read or is refused.
int runHeadless(const char* path, std::FILE* out, std::FILE* log);

}  // namespace replay
