// Where the program looks for its media, in order, on a scratch tree laid out as an
// install under a prefix: <base>/usr/games holds the program, <base>/home is where it starts.
#include "assets/files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr const char* kProbe = "../media/env/mark2.3ds";

TEST(Files, WorkingDirThenBesideTheProgramThenTheInstalledDir) {
  const std::string installed = "usr/share/games/ferrox/media";
  const struct {
    const char* name;
    std::vector<std::string> mediaDirs;  // under <base>, each given the probed mesh
    bool knowsExe;                       // false: /proc/self/exe could not be read
    std::string expected;                // under <base>; empty: found nowhere
  } cases[] = {
      {"nowhere", {}, true, ""},
      {"installed only", {installed}, true, installed},
      {"beside the program first", {installed, "usr/media"}, true, "usr/games"},
      {"working dir first", {installed, "usr/media", "media"}, true, "home"},
      {"no executable path: the working dir alone", {installed}, false, ""},
  };
  const fs::path base = fs::path(FERROX_BINARY_DIR) / "test-media-dirs";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(base);
    // A media directory without our files, as many systems have a /media, never counts.
    for (const char* dir : {"home", "usr/games", "usr/share/games/ferrox", "media"})
      fs::create_directories(base / dir);
    for (const std::string& dir : c.mediaDirs) {
      fs::create_directories(base / dir / "env");
      std::ofstream(base / dir / "env/mark2.3ds") << "mesh";
    }
    const fs::path exeDir = c.knowsExe ? base / "usr/games" : fs::path();
    const fs::path found =
        assets::firstHolding(assets::workingDirCandidates(base / "home", exeDir), kProbe);
    EXPECT_EQ(found, c.expected.empty() ? fs::path() : base / c.expected);
  }
  fs::remove_all(base);
}

}  // namespace
