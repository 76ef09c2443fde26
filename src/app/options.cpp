#include "app/options.h"

#include <cstring>

#ifndef FERROX_VERSION
#error "FERROX_VERSION must be defined by the build"
#endif

namespace {

const char kUsage[] =
    "Usage: ferrox [--windowed] [--verbose] [--mute] [--settings FILE]\n"
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
    "  -h, --help  show this help and end\n"
    "  --version   show the version and end\n"
    "Options given here win over the settings file.\n";

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
  };
  // Options with a value: the argument after the option's name.
  const struct {
    const char* name;
    std::string Options::*value;
  } kValues[] = {
      {"--settings", &Options::settings},
  };
  for (int i = 1; i < argc; ++i) {
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
  return options;
}

const char* usage() { return kUsage; }

const char* version() { return FERROX_VERSION; }
