// The assets as the program loads them: each file it cannot read or refuses is named, and the
// rest still reaches the engine's caches; without a texture the game plays on, its surfaces
// untextured, and the engine never reads the file itself; without a mesh or the font it does
// not.
#include "assets/library.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/cache.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

// A copy of media/ beside a bin/ of its own, in the build tree, to damage; gone at the end.
struct MediaCopy {
  explicit MediaCopy(const char* name) : root(fs::path(FERROX_BINARY_DIR) / "test-media" / name) {
    fs::remove_all(root);
    fs::create_directories(root / "bin");
    fs::copy(fs::path(FERROX_SOURCE_DIR) / "media", root / "media", fs::copy_options::recursive);
  }
  ~MediaCopy() { fs::remove_all(root); }
  fs::path operator()(const char* path) const { return root / "bin" / path; }
  fs::path root;
};

// Whether one of `problems` begins with `start` and ends with `end`.
bool named(const std::vector<std::string>& problems, const std::string& start,
           const std::string& end = "") {
  return std::any_of(problems.begin(), problems.end(), [&](const std::string& p) {
    return p.rfind(start, 0) == 0 && p.size() >= start.size() + end.size() &&
           p.compare(p.size() - end.size(), end.size(), end) == 0;
  });
}

constexpr const char* kUntextured = "; drawn untextured";

TEST(Library, NamesEachFileItCannotReadOrRefusesAndKeepsTheRest) {
  MediaCopy media("broken");
  std::ofstream(media(Tank::kTrackTexture), std::ios::trunc) << "not a JPEG";
  fs::remove(media(assets::kCubeTexture));
  fs::create_directories(media(assets::kCubeTexture));  // a directory is never read
  fs::remove(media(Tank::kWheelMesh));
  std::ofstream(media(assets::kFont), std::ios::trunc) << "BM";

  assets::Library library;
  const std::vector<std::string> problems = library.load(media.root / "bin");
  EXPECT_EQ(problems.size(), 4u);
  EXPECT_TRUE(named(problems,
                    std::string(assets::kCubeTexture) + ": cannot be read: not a regular file",
                    kUntextured));
  EXPECT_TRUE(named(problems, std::string(Tank::kWheelMesh) + ": cannot be read: no such file"));
  EXPECT_TRUE(named(problems, std::string(assets::kFont) + ": BMP: not a BMP file"));
  EXPECT_TRUE(named(problems, std::string(Tank::kTrackTexture) + ": JPEG: ", kUntextured));
  EXPECT_FALSE(library.playable());  // without the wheels and the font

  irr::IrrlichtDevice* device = support::createNullDevice();
  EXPECT_TRUE(library.install(device).empty());
  EXPECT_NE(device->getVideoDriver()->getTexture(assets::kSkyUp), nullptr);
  EXPECT_NE(device->getSceneManager()->getMesh(assets::kGroundMesh), nullptr);
  device->drop();
}

TEST(Library, WithoutATextureTheGamePlaysUntexturedAndTheEngineNeverReadsTheFile) {
  MediaCopy media("textures");
  fs::remove(media(assets::kCubeTexture));
  std::ofstream(media(Tank::kChassisTexture), std::ios::trunc) << "\xff\xd8 not a JPEG";

  assets::Library library;
  const std::vector<std::string> problems = library.load(media.root / "bin");
  EXPECT_EQ(problems.size(), 2u);
  EXPECT_TRUE(named(problems, std::string(assets::kCubeTexture) + ": cannot be read: no such file",
                    kUntextured));
  EXPECT_TRUE(named(problems, std::string(Tank::kChassisTexture) + ": JPEG: ", kUntextured));
  EXPECT_TRUE(library.playable());

  irr::IrrlichtDevice* device = support::createNullDevice();
  irr::video::IVideoDriver* driver = device->getVideoDriver();
  EXPECT_TRUE(library.install(device).empty());
  EXPECT_TRUE(library.playable());
  const irr::u32 textures = driver->getTextureCount();

  // From where the intact media's paths resolve, the names not installed still come back
  // null, and the engine loads nothing.
  const fs::path before = fs::current_path();
  fs::current_path(fs::path(FERROX_SOURCE_DIR) / "bin");
  EXPECT_EQ(cache::texture(driver, assets::kCubeTexture), nullptr);
  irr::scene::ISceneNode* root = device->getSceneManager()->addEmptySceneNode();
  {
    Tank tank(device, root);  // the hull and turret wear the camouflage; the wheels metal
    EXPECT_EQ(tank.chassisNode->getMaterial(0).getTexture(0), nullptr);
    EXPECT_EQ(tank.turret.turretNode->getMaterial(0).getTexture(0), nullptr);
    EXPECT_NE(tank.wheelNodes[0]->getMaterial(0).getTexture(0), nullptr);
  }
  fs::current_path(before);
  EXPECT_EQ(driver->getTextureCount(), textures);
  device->drop();
}

}  // namespace
