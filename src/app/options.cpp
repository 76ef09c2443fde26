#include "app/options.h"

#include <cstring>

#ifndef FERROX_VERSION
#error "FERROX_VERSION must be defined by the build"
#endif

namespace {

const char kUsage[] =
    "Usage: ferrox [--windowed] [--verbose] [--mute]\n"
    "       ferrox --help | --version\n"
    "Drive a simulated tank on a sand plain. The game starts paused: Space drives,\n"
    "F1 lists the keys, Escape ends it.\n"
    "\n"
    "  --windowed  play in a 1024x768 window instead of the full screen\n"
    "  --verbose   show the engine's whole log, not only its warnings and errors\n"
    "  --mute      start without sound; M turns it on and off\n"
    "  --help      show this help and end\n"
    "  --version   show the version and end\n";

}  // namespace

Options parseOptions(int argc, const char* const* argv) {
  Options options;
  const struct {
    const char* name;
    bool Options::*flag;
  } kFlags[] = {
      {"--help", &Options::help},         {"--version", &Options::version},
      {"--windowed", &Options::windowed}, {"--verbose", &Options::verbose},
      {"--mute", &Options::mute},
  };
  for (int i = 1; i < argc; ++i) {
    bool known = false;
    for (const auto& f : kFlags) {
      if (std::strcmp(argv[i], f.name) != 0) continue;
      options.*f.flag = true;
      known = true;
    }
    if (known || !options.understood) continue;
    options.understood = false;
    options.unknown = argv[i];
  }
  return options;
}

const char* usage() { return kUsage; }

const char* version() { return FERROX_VERSION; }
