#include "MediaDirs.h"

#include <system_error>

// The installed media directory relative to the installed program, set by the build from
// its install directories.
#ifndef FERROX_MEDIA_FROM_BINDIR
#define FERROX_MEDIA_FROM_BINDIR "../share/games/ferrox/media"
#endif

namespace media {

namespace fs = std::filesystem;

std::vector<fs::path> workingDirCandidates(const fs::path& cwd, const fs::path& exeDir) {
  std::vector<fs::path> dirs{cwd};
  if (!exeDir.empty()) {
    dirs.push_back(exeDir);
    dirs.push_back((exeDir / FERROX_MEDIA_FROM_BINDIR).lexically_normal());
  }
  return dirs;
}

fs::path firstHolding(const std::vector<fs::path>& dirs, const fs::path& probe) {
  for (const fs::path& dir : dirs) {
    std::error_code error;
    // A file, not just a directory: many systems have a /media of their own.
    if (fs::is_regular_file(dir / probe, error)) return dir;
  }
  return {};
}

}  // namespace media
