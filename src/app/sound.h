#pragma once

#include <cstdio>
#include <memory>

#include "app/sound_mix.h"

class Tank;

// The tank heard through OpenAL Soft: three sources on the default audio device, the
// engine's note and the tracks' rumble looping, the gear clunk played once a shift. Without
// a device everything here does nothing, and the game plays silently.
class Sound {
 public:
  Sound();
  ~Sound();  // closes the device
  Sound(const Sound&) = delete;
  Sound& operator=(const Sound&) = delete;

  // Opens the default device and synthesizes the sounds into its buffers, silent until the
  // first play. Null on success, else why there is no sound. The audio library's own
  // messages stay off the terminal unless ALSOFT_LOGLEVEL asks for them.
  const char* open();
  // Leaves the opening to the first play, after the first frame is drawn, so that the
  // window shows without waiting for the device; why there is no sound then goes to `log`
  // on one line.
  void openOnFirstPlay(std::FILE* log);
  // Once a frame: the tank's state as the mixer hears it; silent while muted.
  void play(const Tank& tank, bool muted);
  // The window out of use: silent, and the device idle, until the next play.
  void hold();
  // Stops every source, frees the buffers and closes the device; open may follow again.
  void close();

 private:
  void silence();          // every source quiet
  void run(bool running);  // the device mixing or idle
  struct Device;           // the OpenAL objects
  std::unique_ptr<Device> device_;
  std::FILE* log_ = nullptr;  // where the first play says why there is no sound; null: none
  sound::Mixer mixer_;
};
