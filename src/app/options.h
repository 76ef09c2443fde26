#pragma once

#include <cstdint>
#include <string>

// What the command line asks of the program.
struct Options {
  bool help = false;          // print the usage on standard output and end
  bool version = false;       // print the version on standard output and end
  bool windowed = false;      // a 1024 x 768 window instead of the full screen
  bool verbose = false;       // the engine's whole log, not only its warnings and errors
  bool mute = false;          // start without sound; M turns it on
  std::string settings;       // the settings file named, instead of the user's own; empty for none
  bool understood = true;     // every argument is an option of ours, each with its value
  std::string unknown;        // the first argument that is not, or the option missing its value
  bool valueMissing = false;  // that option names a value and is the last argument
  bool seedGiven = false;     // --seed N: the jump's generator starts from N ...
  std::uint32_t seed = 0;     // ... instead of from the time
  std::string record;         // --record FILE: the drive is recorded there; empty for none
  std::string replay;         // --replay FILE: the recorded drive plays; empty for none
  bool headless = false;      // with --replay: no window, as fast as it goes
  std::string mistake;        // why options that are ours do not go as given; empty when so
};

// Reads the arguments after the program's name.
Options parseOptions(int argc, const char* const* argv);

// The usage text, ending in a newline.
const char* usage();

// The project's version, e.g. "0.1.0".
const char* version();
