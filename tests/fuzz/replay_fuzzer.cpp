// A recording of a drive through our reader. Built two ways:
//   with libFuzzer (FERROX_FUZZ_REPLAY): a fuzz target that reads each input and, when it is
//   readable, walks its records and checks them against what the reader claims;
//   without: `ferrox_replay_check PATH...` reads every file given, which must be readable,
//   and every file in each directory given, which must be refused unless its name begins
//   with "accept-"; each readable one is played on a tank of the null device, whose rig must
//   stay finite. Any crash, sanitizer report, broken invariant or other outcome fails.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/replay_file.h"
#include "support.h"

#ifndef FERROX_FUZZ_REPLAY
#include "app/replay.h"
#include "fuzz/corpus_files.h"
#endif

namespace {

namespace format = assets::replay;

[[noreturn]] void broken(const char* what) {
  std::fprintf(stderr, "broken invariant: %s\n", what);
  std::abort();
}

// What a readable recording must be, whatever bytes it came from.
void checkRecords(const assets::Bytes& bytes, const format::File& file) {
  if (file.ended == !file.cut.empty()) broken("a file both whole and cut, or neither");
  if (file.body > file.bodyEnd || file.bodyEnd > bytes.size()) broken("records outside the file");
  format::Cursor cursor(bytes, file);
  std::uint64_t frames = 0;
  for (format::Record r; cursor.next(r);) {
    switch (r.kind) {
      case format::Record::Held:
        if (r.code < 0 || r.code >= format::kHeldCommands) broken("a held command's code");
        break;
      case format::Record::Press:
        if (r.code < 0 || r.code >= format::kPressCommands) broken("a one-shot command's code");
        if (r.code == format::kJump && (r.wheel < 0 || r.wheel >= format::kWheels))
          broken("the jump's wheel");
        break;
      case format::Record::Camera:
        if (!(std::abs(r.pitch) <= format::kMaxCameraAngle) ||
            !(std::abs(r.yaw) <= format::kMaxCameraAngle))
          broken("a camera angle");
        break;
      case format::Record::Frames:
        if (r.count == 0 || r.count > format::kMaxRun) broken("a run's count");
        if (!(r.step >= 0.0f && r.step <= format::kMaxStep)) broken("a step");
        frames += r.count;
        break;
    }
  }
  if (frames != file.frames || frames > format::kMaxFrames) broken("the frames counted");
  if (!(file.seconds <= format::kMaxSeconds)) broken("the steps' sum");
}

}  // namespace

#ifdef FERROX_FUZZ_REPLAY
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const assets::Bytes bytes(data, data + size);
  format::File file;
  if (format::read(bytes, file).empty()) checkRecords(bytes, file);
  return 0;
}
#else
int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: ferrox_replay_check PATH...\n");
    return 2;
  }
  const auto files = corpusFiles(argc, argv, 1);  // and whether each must be accepted
  int readable = 0, wrong = 0;
  std::FILE* sink = std::fopen("/dev/null", "w");
  for (const auto& [path, acceptable] : files) {
    assets::Bytes bytes;
    format::File file;
    std::string why;
    const bool read = replay::load(path.c_str(), bytes, file, why);
    if (read) {
      checkRecords(bytes, file);
      support::TankScene scene(false);
      replay::Player player(path.c_str(), bytes, file, sink, sink);
      player.finish(*scene.tank);
      if (!support::finiteRig(scene.tank->rootNode)) broken("a rig that is not finite");
    }
    readable += read;
    if (read != acceptable) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), read ? "readable" : why.c_str());
      ++wrong;
    }
  }
  std::fclose(sink);
  std::printf("%zu recordings read without fault, %d of them readable, %d unlike expected\n",
              files.size(), readable, wrong);
  return files.empty() || wrong != 0 ? 1 : 0;
}
#endif
