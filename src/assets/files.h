#pragma once

// Reading asset files, and finding the directory the program's ../media paths resolve from.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace assets {

using Bytes = std::vector<unsigned char>;

constexpr std::size_t kMaxAssetBytes = 32u << 20;  // bytes, the largest file read

// The whole of the regular file at `path` in `bytes`. False when it cannot be opened, is not
// a regular file (a directory, a pipe or a device is never read, and never waited on), or
// fails to read; then `why`, when given, says which. A file longer than kMaxAssetBytes is
// read only a little past that limit, so the caller refuses it by its size without holding
// all of it.
bool readFile(const char* path, Bytes& bytes, std::string* why = nullptr);

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

// When `probe` (one of the program's ../media paths) is not there from here, moves where it
// is: beside the executable or to the installed media directory. Found nowhere, it says where
// it looked and moves beside the executable, so that the missing files are named as the
// source tree names them.
void enterMediaDirectory(const char* probe);

}  // namespace assets
