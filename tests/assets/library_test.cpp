// The assets as the program loads them: each file it cannot read or refuses is named, and the
// rest still reaches the engine's caches.
#include "assets/library.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support.h"

namespace {

namespace fs = std::filesystem;

TEST(Library, NamesEachFileItCannotReadOrRefusesAndKeepsTheRest) {
  // A copy of media/ beside a bin/ of its own, in the build tree, then damaged.
  const fs::path root = fs::path(FERROX_BINARY_DIR) / "test-media" / "broken";
  fs::remove_all(root);
  fs::create_directories(root / "bin");
  fs::copy(fs::path(FERROX_SOURCE_DIR) / "media", root / "media", fs::copy_options::recursive);
  auto media = [&](const char* path) { return root / "bin" / path; };
  std::ofstream(media(Tank::kTrackTexture), std::ios::trunc) << "not a JPEG";
  fs::remove(media(assets::kCubeTexture));
  fs::create_directories(media(assets::kCubeTexture));  // a directory is never read
  fs::remove(media(Tank::kWheelMesh));
  std::ofstream(media(assets::kFont), std::ios::trunc) << "BM";

  assets::Library library;
  const std::vector<std::string> problems = library.load(root / "bin");
  fs::remove_all(root);
  EXPECT_EQ(problems.size(), 4u);
  for (const std::string& start : {std::string(assets::kCubeTexture) + ": cannot be read",
                                   std::string(Tank::kWheelMesh) + ": cannot be read",
                                   std::string(assets::kFont) + ": BMP: not a BMP file",
                                   std::string(Tank::kTrackTexture) + ": JPEG: "})
    EXPECT_TRUE(std::any_of(problems.begin(), problems.end(), [&](const std::string& p) {
      return p.rfind(start, 0) == 0;
    })) << start;

  irr::IrrlichtDevice* device = support::createNullDevice();
  EXPECT_TRUE(library.install(device).empty());
  EXPECT_NE(device->getVideoDriver()->getTexture(assets::kSkyUp), nullptr);
  EXPECT_NE(device->getSceneManager()->getMesh(assets::kGroundMesh), nullptr);
  device->drop();
}

}  // namespace
