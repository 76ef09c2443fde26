// The assets as the program gets them: read once and decoded by our code, then found in the
// engine's caches under their paths, with no file left for the engine to read.
#include "assets/library.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "assets/files.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

// A copy of media/ beside a bin/ of its own, in the build tree, gone again at the end.
struct MediaCopy {
  explicit MediaCopy(const char* name) : root(fs::path(FERROX_BINARY_DIR) / "test-media" / name) {
    fs::remove_all(root);
    fs::create_directories(root / "bin");
    fs::copy(fs::path(FERROX_SOURCE_DIR) / "media", root / "media", fs::copy_options::recursive);
  }
  ~MediaCopy() { fs::remove_all(root); }
  fs::path media(const char* path) const { return root / "bin" / path; }

  fs::path root;
};

TEST(Library, TheEngineFindsEveryAssetInItsCachesNotOnDisk) {
  MediaCopy copy("cached");
  assets::Library library;
  const std::vector<std::string> refused = library.load(copy.root / "bin");
  ASSERT_TRUE(refused.empty()) << refused.front();
  fs::remove_all(copy.root / "media");  // nothing left on disk for the engine to read
  irr::IrrlichtDevice* device = support::createNullDevice();
  const std::vector<std::string> problems = library.install(device);
  EXPECT_TRUE(problems.empty()) << problems.front();
  for (const assets::MeshAsset& mesh : assets::kMeshes)
    EXPECT_NE(device->getSceneManager()->getMesh(mesh.path), nullptr) << mesh.path;
  for (const char* texture : assets::kTextures)
    EXPECT_NE(device->getVideoDriver()->getTexture(texture), nullptr) << texture;
  irr::gui::IGUIFont* font = device->getGUIEnvironment()->getFont(assets::kFont);
  ASSERT_NE(font, nullptr);
  EXPECT_GT(font->getDimension(L"Gear: 1").Width, 0u);
  device->drop();
}

TEST(Library, NamesEachFileItCannotReadOrRefusesAndKeepsTheRest) {
  MediaCopy copy("broken");
  std::ofstream(copy.media(Tank::kTrackTexture), std::ios::trunc) << "not a JPEG";
  fs::remove(copy.media(assets::kCubeTexture));
  fs::create_directories(copy.media(assets::kCubeTexture));  // a directory is never read
  fs::remove(copy.media(Tank::kWheelMesh));
  std::ofstream(copy.media(assets::kFont), std::ios::trunc) << "BM";

  assets::Library library;
  const std::vector<std::string> problems = library.load(copy.root / "bin");
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
