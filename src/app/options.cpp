#include "app/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifndef FERROX_VERSION
#error "FERROX_VERSION must be defined by the build"
#endif

namespace {

const char kUsage[] =
    "Usage: ferrox [--windowed] [--verbose] [--mute] [--settings FILE] [--seed N]\n"
    "              [--record FILE]\n"
    "       ferrox --replay FILE [--headless] [--windowed] [--verbose] [--mute]\n"
    "       ferrox -h | --help | --version\n"
    "Drive a simulated tank on a sand plain. The game starts paused: Space drives,\n"
    "F1 lists the keys, Escape ends it.\n"
    "\n"
    "  --windowed  play in a 1024x768 window instead of the full screen\n"
    "  --verbose   show the engine's whole log, not only its warnings and errors\n"
    "  --mute      start without sound; M turns it on and off\n"
    "  --settings FILE\n"
    "              read the settings from FILE instead of\n"
    "              $XDG_CONFIG_HOME/ferrox/settings (else ~/.config/ferrox/settings)\n"
    "  --seed N    start the jump's random wheel from N (0 to 4294967295), not the time\n"
    "  --record FILE  record the drive into FILE, to replay it or attach it to a bug report\n"
    "  --replay FILE  play a recorded drive back: Space pauses it, the mouse swings the\n"
    "              camera, Escape ends it\n"
    "  --headless  with --replay: no window, as fast as it goes; prints the final state and\n"
    "              whether it is the recorded one (exit code 0), or not (1)\n"
    "  -h, --help  show this help and end\n"
    "  --version   show the version and end\n"
    "Options given here win over the settings file.\n";

// A seed: decimal digits only, within 32 bits.
bool readSeed(const char* text, std::uint32_t& seed) {
  if (*text < '0' || *text > '9') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0' || value > 0xffffffffull) return false;
  seed = static_cast<std::uint32_t>(value);
  return true;
}

}  // namespace

Options parseOptions(int argc, const char* const* argv) {
  Options options;
  const struct {
    const char* name;
    bool Options::*flag;
  } kFlags[] = {
      {"--help", &Options::help},       {"-h", &Options::help},
      {"--version", &Options::version}, {"--windowed", &Options::windowed},
      {"--verbose", &Options::verbose}, {"--mute", &Options::mute},
      {"--headless", &Options::headless},
  };
  // Options with a value: the argument after the option's name.
  const struct {
    const char* name;
    std::string Options::*value;
  } kValues[] = {
      {"--settings", &Options::settings},
  };
  for (int i = 1; i < argc; ++i) {
    const bool valued = std::strcmp(argv[i], "--seed") == 0 ||
                        std::strcmp(argv[i], "--record") == 0 ||
                        std::strcmp(argv[i], "--replay") == 0;
    if (valued) {
      const char* name = argv[i];
      const char* value = i + 1 < argc ? argv[++i] : "";
      if (*value == '\0') {
        if (options.mistake.empty()) options.mistake = std::string(name) + " needs a value";
      } else if (std::strcmp(name, "--record") == 0) {
        options.record = value;
      } else if (std::strcmp(name, "--replay") == 0) {
        options.replay = value;
      } else if (readSeed(value, options.seed)) {
        options.seedGiven = true;
      } else if (options.mistake.empty()) {
        options.mistake =
            std::string("--seed takes a number from 0 to 4294967295, not '") + value + "'";
      }
      continue;
    }
    bool known = false;
    for (const auto& f : kFlags) {
      if (std::strcmp(argv[i], f.name) != 0) continue;
      options.*f.flag = true;
      known = true;
    }
    bool valueMissing = false;
    for (const auto& v : kValues) {
      if (std::strcmp(argv[i], v.name) != 0) continue;
      valueMissing = i + 1 >= argc;
      if (valueMissing) break;
      options.*v.value = argv[++i];
      known = true;
    }
    if (known || !options.understood) continue;
    options.understood = false;
    options.unknown = argv[i];
    options.valueMissing = valueMissing;
  }
  if (!options.mistake.empty()) return options;
  if (!options.replay.empty() && !options.record.empty())
    options.mistake = "--record and --replay go one at a time";
  else if (!options.replay.empty() && options.seedGiven)
    options.mistake = "--seed goes without --replay: a recording holds its own seed";
  else if (options.headless && options.replay.empty())
    options.mistake = "--headless goes with --replay FILE";
  return options;
}

const char* usage() { return kUsage; }

const char* version() { return FERROX_VERSION; }
