// Our JPEG decoder's processor time: each shipped texture, all eleven together (what start-up
// spends on them), and the costliest files within its bounds (tools/forge/jpeg_forge.h).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/jpeg.h"
#include "forge/jpeg_forge.h"

namespace {

namespace fs = std::filesystem;
using forge::Bytes;

void decode(benchmark::State& state, const std::vector<Bytes>& files, bool accepted) {
  assets::Image image;
  std::string why;
  for (auto _ : state)
    for (const Bytes& bytes : files)
      if (assets::decodeJpeg(bytes.data(), bytes.size(), image, why) != accepted) {
        state.SkipWithError(accepted ? why.c_str() : "accepted");
        return;
      }
}

std::vector<std::pair<std::string, Bytes>> shippedTextures() {
  std::vector<std::pair<std::string, Bytes>> textures;
  const fs::path media = fs::path(FERROX_RUN_DIR) / ".." / "media";
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(media))
    if (entry.path().extension() == ".jpg") {
      std::ifstream file(entry.path(), std::ios::binary);
      textures.emplace_back(
          fs::relative(entry.path(), media).string(),
          Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()));
    }
  std::sort(textures.begin(), textures.end());
  return textures;
}

// Registered before main: the files are read, and the worst cases made, once.
const bool registered = [] {
  std::vector<Bytes> all;
  for (auto& [name, bytes] : shippedTextures()) {
    all.push_back(bytes);
    benchmark::RegisterBenchmark(("BM_Jpeg/" + name).c_str(), decode, std::vector<Bytes>{bytes},
                                 true)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("BM_Jpeg/all-shipped-textures", decode, all, true)
      ->Unit(benchmark::kMillisecond);
  for (forge::Case& c : forge::worstCases(assets::kMaxJpegScanBlocks, assets::kJpegRestartCharge,
                                          assets::kMaxJpegBytes))
    benchmark::RegisterBenchmark(("BM_JpegWorst/" + c.name).c_str(), decode,
                                 std::vector<Bytes>{std::move(c.bytes)}, c.accepted)
        ->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
