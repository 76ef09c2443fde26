#include <gtest/gtest.h>
#include <irrlicht.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "assets.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<char>;

Bytes readFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The offset of the first chunk with this id among the 3DS main chunk's children.
std::size_t findTopChunk(const Bytes& bytes, unsigned id) {
  auto u16 = [&](std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
  };
  auto u32 = [&](std::size_t at) { return std::size_t{u16(at)} | std::size_t{u16(at + 2)} << 16; };
  for (std::size_t at = 6; at + 6 <= bytes.size(); at += u32(at + 2))
    if (u16(at) == id) return at;
  return 0;
}

// A copy of media/ beside an empty bin/, the working directory while it lives, in which
// one file can be damaged.
class DamagedMedia : public ::testing::Test {
 protected:
  void SetUp() override {
    home = fs::current_path();  // bin/, beside the real media/
    root = fs::temp_directory_path() / ("ferrox-damaged-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "bin");
    fs::copy(home / "../media", root / "media", fs::copy_options::recursive);
    fs::current_path(root / "bin");
  }
  void TearDown() override {
    fs::current_path(home);
    fs::remove_all(root);
  }

  // What brokenAssets names after `damage` was done to `file`, with and without a device.
  std::vector<std::string> brokenAfter(const std::string& file,
                                       const std::function<void(const fs::path&)>& damage,
                                       bool withDevice = true) {
    damage(fs::path("../media") / file);
    if (!withDevice) return brokenAssets(nullptr);
    irr::IrrlichtDevice* nullDevice = support::createNullDevice();
    std::vector<std::string> broken = brokenAssets(nullDevice);
    nullDevice->drop();
    return broken;
  }

  fs::path home;
  fs::path root;
};

using Named = std::vector<std::string>;

// The engine itself loads the cut or misjoined mesh and the cut font and reports success;
// on the cut texture it reads past the end (under AddressSanitizer: a crash in libjpeg).
TEST_F(DamagedMedia, CutOrMisjoinedFilesAreRefusedByName) {
  EXPECT_EQ(brokenAfter("tank/wheel.3ds",
                        [](const fs::path& p) { fs::resize_file(p, fs::file_size(p) / 2); }),
            Named{"../media/tank/wheel.3ds"});
  writeFile("../media/tank/wheel.3ds", readFile(home / "../media/tank/wheel.3ds"));

  // The file's length is right, but the scene chunk claims one byte more than it has.
  EXPECT_EQ(brokenAfter("env/mark2.3ds",
                        [](const fs::path& p) {
                          Bytes bytes = readFile(p);
                          const std::size_t scene = findTopChunk(bytes, 0x3D3D);
                          ASSERT_NE(scene, 0u);
                          for (std::size_t at = scene + 2; ++bytes[at] == 0; ++at) {
                          }  // length + 1, carried
                          writeFile(p, bytes);
                        }),
            Named{"../media/env/mark2.3ds"});
  writeFile("../media/env/mark2.3ds", readFile(home / "../media/env/mark2.3ds"));

  EXPECT_EQ(brokenAfter("env/sand3.jpg",
                        [](const fs::path& p) { fs::resize_file(p, fs::file_size(p) / 2); }),
            Named{"../media/env/sand3.jpg"});
  writeFile("../media/env/sand3.jpg", readFile(home / "../media/env/sand3.jpg"));

  EXPECT_EQ(brokenAfter("fontkorvenblatt.bmp",
                        [](const fs::path& p) { fs::resize_file(p, fs::file_size(p) - 1); }),
            Named{"../media/fontkorvenblatt.bmp"});
}

// Reading a directory as a texture crashed the engine (std::bad_alloc); it is refused
// before any device exists.
TEST_F(DamagedMedia, ADirectoryInPlaceOfAFileIsUnreadable) {
  EXPECT_EQ(brokenAfter(
                "brickwall.jpg",
                [](const fs::path& p) {
                  fs::remove(p);
                  fs::create_directory(p);
                },
                false),
            Named{"../media/brickwall.jpg"});
}

}  // namespace
