#include "assets/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>

// The installed media directory relative to the installed program, set by the build from
// its install directories.
#ifndef FERROX_MEDIA_FROM_BINDIR
#define FERROX_MEDIA_FROM_BINDIR "../share/games/ferrox/media"
#endif

namespace assets {

namespace fs = std::filesystem;

bool readFile(const char* path, Bytes& bytes, std::string* why) {
  auto failed = [&](const char* what) {
    if (why != nullptr) *why = what;
    return false;
  };
  // Opened without waiting (a pipe would block the open forever), then refused unless what
  // was opened is a regular file: a directory, a pipe or a device never reaches the read,
  // whatever the path named when it was looked at before.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return failed(errno == ENOENT ? "no such file" : std::strerror(errno));
  struct stat status;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return failed("not a regular file");
  }
  bytes.clear();
  unsigned char chunk[1 << 16];
  int error = 0;
  while (bytes.size() <= kMaxAssetBytes) {  // past the limit it is refused by its size
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = errno;
    if (got <= 0) break;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  ::close(fd);
  return error == 0 || failed(std::strerror(error));
}

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

void enterMediaDirectory(const char* probe) {
  std::error_code error;
  const fs::path here = fs::current_path(error);
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  const fs::path exeDir = error ? fs::path() : exe.parent_path();
  const std::vector<fs::path> candidates = workingDirCandidates(here, exeDir);
  const fs::path home = firstHolding(candidates, probe);
  if (home == here) return;
  if (home.empty()) {
    std::string tried;
    for (const fs::path& dir : candidates)
      tried += " " + (dir / ".." / "media").lexically_normal().string();
    std::fprintf(stderr, "ferrox: no media found in:%s\n", tried.c_str());
  }
  fs::current_path(home.empty() ? exeDir : home, error);
}

}  // namespace assets
