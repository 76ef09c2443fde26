#pragma once

// `--record FILE`: the commands that reach the tank and the step of each frame, written to the
// file as the game runs (docs/replay.md has the layout). Each frame's bytes reach the file at
// the frame's end, so that a game that dies leaves a recording that plays up to its last frame;
// a run of frames stepped alike with no command between them is one record whose count grows in
// place. Nothing is allocated after the file is opened.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class Tank;

namespace replay {

class Recorder {
 public:
  // Where a write that fails is reported, once, before recording stops.
  explicit Recorder(std::FILE* log = stderr) : log_(log) {}
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Creates (or empties) `path` and writes the header; false, with why, when it cannot.
  bool open(const char* path, std::uint32_t seed, std::string& why);
  bool recording() const { return fd_ >= 0; }

  // A command that reached the tank, by its code (replay::heldCode, pressCode); the jump also
  // gives the wheel it drew. The camera's swing: only its last in a frame is kept.
  void hold(int code, bool on);
  void press(int code, int wheel);
  void camera(float pitch, float yaw);
  // The frame's end, after the tank was stepped by `step` seconds (0: not stepped); its
  // commands and step reach the file now. A drive longer than a recording holds ends the
  // recording here, with the tank's digest.
  void frame(float step, const Tank& tank);
  // The commands after the last frame, then the end: the frame count and the tank's digest.
  void finish(const Tank& tank);

  std::uint32_t frames() const { return frames_; }

 private:
  void put(const unsigned char* bytes, std::size_t length);
  void putCamera();
  // Writes the tail at its place in the file; false (and recording stops) when that fails.
  bool sync();
  void stop(const char* why);

  static constexpr std::size_t kTail = 4096;  // bytes held before they reach the file

  std::FILE* log_;
  int fd_ = -1;
  std::string path_;
  unsigned char tail_[kTail] = {};  // the file's bytes from tailAt_ on, not all written yet
  std::size_t tailLength_ = 0;
  off_t tailAt_ = 0;                 // byte of the file where tail_ starts
  bool runOpen_ = false;             // tail_ ends in a run record that the next frame may extend
  std::size_t runAt_ = 0;            // its first byte in tail_
  std::uint32_t runCount_ = 0;       // its frames
  float runStep_ = 0.0f;             // s, its step
  bool haveStep_ = false;            // a run was written: a run of the same step may say so
  bool cameraPending_ = false;       // a swing came in this frame
  bool cameraWritten_ = false;       // one was written before
  float pitch_ = 0.0f, yaw_ = 0.0f;  // deg, the frame's last swing
  float writtenPitch_ = 0.0f, writtenYaw_ = 0.0f;  // deg, the last one written
  std::uint32_t frames_ = 0;
  double seconds_ = 0.0;  // s, the steps' sum
};

}  // namespace replay
