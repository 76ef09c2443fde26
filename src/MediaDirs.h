#pragma once

#include <filesystem>
#include <vector>

namespace media {

// The directories the program may work from so that its ../media paths resolve, in the
// order it tries them: where it was started (as in the source tree, from bin/), the
// executable's own directory (bin/ beside media/), then the installed media directory,
// found from the executable's directory so that any prefix or DESTDIR works. From inside
// the media directory itself, ../media names that directory again.
std::vector<std::filesystem::path> workingDirCandidates(const std::filesystem::path& cwd,
                                                        const std::filesystem::path& exeDir);

// The first directory from which `probe`, a relative path, names a regular file; empty
// when none does.
std::filesystem::path firstHolding(const std::vector<std::filesystem::path>& dirs,
                                   const std::filesystem::path& probe);

}  // namespace media
