// Each asset read once: the engine gets those bytes, never the disk's. What the check accepts
// and refuses is shown by the fuzz corpus replay (tests/corpus, tests/fuzz).
#include <gtest/gtest.h>
#include <irrlicht.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "assets.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

// The engine gets the bytes that were read and checked, never the disk's: media that change
// or go after the read still load as read. A directory in place of a file is never read.
TEST(AssetFiles, TheEngineLoadsTheBytesReadNotTheDisk) {
  const fs::path home = fs::current_path();  // bin/, beside the real media/
  const fs::path root = fs::temp_directory_path() / ("ferrox-one-read-" + std::to_string(getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "bin");
  fs::copy(home / "../media", root / "media", fs::copy_options::recursive);
  fs::current_path(root / "bin");

  AssetFiles assets;
  EXPECT_TRUE(assets.read().empty());
  fs::remove_all(root / "media");
  fs::create_directories(root / "media/tank");
  std::ofstream(root / "media/tank/kamo.jpg") << "not a JPEG";
  irr::IrrlichtDevice* nullDevice = support::createNullDevice();
  const std::vector<std::string> refused = assets.load(nullDevice);
  EXPECT_TRUE(refused.empty()) << refused.front();
  EXPECT_NE(nullDevice->getSceneManager()->getMesh(kGroundMesh), nullptr);
  EXPECT_NE(nullDevice->getVideoDriver()->getTexture(Tank::kChassisTexture), nullptr);
  nullDevice->drop();

  fs::create_directories(root / "media/brickwall.jpg");
  AssetFiles again;
  const std::vector<std::string> unreadable = again.read();
  EXPECT_EQ(unreadable.size(), std::size(kAssets) - 1);  // all but the one file left
  EXPECT_NE(std::find(unreadable.begin(), unreadable.end(), kCubeTexture), unreadable.end());

  fs::current_path(home);
  fs::remove_all(root);
}

}  // namespace
