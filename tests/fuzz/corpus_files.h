#pragma once

// The files a corpus replay reads: each directory's regular files, which must be accepted when
// their names begin "accept-", and each file named alone, which must always be accepted.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

inline std::vector<std::pair<std::filesystem::path, bool> > corpusFiles(int argc, char** argv,
                                                                        int first) {
  namespace fs = std::filesystem;
  std::vector<std::pair<fs::path, bool> > files;  // and whether it must be accepted
  for (int i = first; i < argc; ++i) {
    if (fs::is_directory(argv[i])) {
      for (const fs::directory_entry& entry : fs::directory_iterator(argv[i]))
        if (entry.is_regular_file())
          files.emplace_back(entry.path(),
                             entry.path().filename().string().rfind("accept-", 0) == 0);
    } else {
      files.emplace_back(argv[i], true);
    }
  }
  return files;
}
