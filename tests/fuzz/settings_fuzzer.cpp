// The settings file through our parser. Built two ways:
//   with libFuzzer (FERROX_FUZZ_SETTINGS set): a fuzz target, which checks what every input
//   reads to;
//   without: `ferrox_settings_replay PATH...` loads every file given as the program loads its
//   settings, which must take every line, and every file in each directory given, which must
//   have a line skipped unless its name begins with "accept-". Any crash, sanitizer report,
//   broken invariant or other outcome fails.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/files.h"
#include "assets/settings.h"
#include "fuzz/corpus_files.h"

namespace {

[[noreturn]] void broken(const char* what) {
  std::fprintf(stderr, "broken invariant: %s\n", what);
  std::abort();
}

// What settings must be, whatever bytes they came from: a sensitivity within its bounds,
// and a key for every command that has a name, is not Escape, and no other command has.
void checkSettings(const assets::Settings& s) {
  if (!(s.sensitivity >= assets::kMinSensitivity && s.sensitivity <= assets::kMaxSensitivity))
    broken("a sensitivity out of bounds");
  for (std::size_t a = 0; a < s.keys.size(); ++a) {
    if (assets::keyName(s.keys[a]) == nullptr) broken("a key without a name");
    for (std::size_t b = a + 1; b < s.keys.size(); ++b)
      if (s.keys[a] == s.keys[b]) broken("a key bound twice");
  }
}

void checkRead(const assets::SettingsRead& read, const std::string& name) {
  checkSettings(read.settings);
  if (read.problems.size() > assets::kMaxProblemsShown) broken("too many complaints kept");
  if (read.unshown != 0 && read.problems.size() != assets::kMaxProblemsShown)
    broken("complaints uncounted while there was room");
  for (const std::string& problem : read.problems) {
    // "NAME:LINE: why", the line a positive number.
    if (problem.compare(0, name.size() + 1, name + ":") != 0)
      broken("a complaint not naming the file");
    const std::size_t digits = problem.find_first_not_of("0123456789", name.size() + 1);
    if (digits == name.size() + 1 || digits == std::string::npos || problem[digits] != ':' ||
        problem[name.size() + 1] == '0')
      broken("a complaint not naming its line");
    if (problem.size() > name.size() + 2 * assets::kMaxSettingsLine)
      broken("a complaint longer than its line");
  }
}

}  // namespace

#ifdef FERROX_FUZZ_SETTINGS
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  checkRead(assets::parseSettings("fuzz", data, size), "fuzz");
  return 0;
}
#else
int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: ferrox_settings_replay PATH...\n");
    return 2;
  }
  const auto files = corpusFiles(argc, argv, 1);  // and whether each must be accepted
  int accepted = 0, wrong = 0;
  for (const auto& [path, acceptable] : files) {
    assets::Bytes bytes;
    if (assets::readFile(path.c_str(), bytes))
      checkRead(assets::parseSettings("replay", bytes.data(), bytes.size()), "replay");
    // As the program loads it, the complaints caught in a scratch file.
    std::FILE* err = std::tmpfile();
    if (err == nullptr) broken("no scratch file");
    checkSettings(assets::loadSettings(path.string(), true, err));
    const bool taken = std::ftell(err) == 0;
    std::fclose(err);
    accepted += taken;
    if (taken != acceptable) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), taken ? "taken whole" : "a line skipped");
      ++wrong;
    }
  }
  std::printf("%zu settings files read without fault, %d of them taken whole, %d unlike expected\n",
              files.size(), accepted, wrong);
  return files.empty() || wrong != 0 ? 1 : 0;
}
#endif
