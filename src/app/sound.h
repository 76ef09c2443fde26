#pragma once

#include <cstdio>
#include <memory>

#include "app/cues.h"
#include "app/sound_mix.h"

class Tank;

// The tank heard through OpenAL Soft on the default audio device: the renderer's samples
// (sound::Renderer: the engine's note, the tracks' rumble, the clunk of a shift, the cues),
// streamed by a thread of ours, so that every start and stop fades. Without a device
// everything here does nothing, and the game plays silently.
class Sound {
 public:
  Sound();
  ~Sound();  // closes the device
  Sound(const Sound&) = delete;
  Sound& operator=(const Sound&) = delete;

  // Opens the default device, one streaming source and its buffers, and starts the thread
  // that renders into them, silent until the first play. Null on success, else why there is no sound. The audio library's own
  // messages stay off the terminal unless ALSOFT_LOGLEVEL asks for them.
  const char* open();
  // Leaves the opening to the first play, after the first frame is drawn, so that the
  // window shows without waiting for the device; why there is no sound then goes to `log`
  // on one line.
  void openOnFirstPlay(std::FILE* log);
  // Once a frame: the tank's state and the frame's cues as the mixer hears them; silent
  // while muted.
  void play(const Tank& tank, bool muted, const cues::Pending& cues = cues::Pending());
  // The window out of use: fades out, and the device idles, until the next play.
  void hold();
  // Fades out, stops the stream, frees the buffers and closes the device; open may follow.
  void close();

 private:
  struct Device;  // the OpenAL objects and the thread that feeds them
  std::unique_ptr<Device> device_;
  std::FILE* log_ = nullptr;  // where the first play says why there is no sound; null: none
  sound::Mixer mixer_;
};
