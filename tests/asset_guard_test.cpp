// The asset check on the worst damage seen in the field, and on what it must let through;
// the fuzz targets and the corpus replay cover damage at large.
#include <gtest/gtest.h>
#include <irrlicht.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "assets.h"

namespace {

namespace fs = std::filesystem;

Bytes readFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void put16(Bytes& b, std::size_t at, unsigned v) {
  b[at] = static_cast<unsigned char>(v);
  b[at + 1] = static_cast<unsigned char>(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}
unsigned get16(const Bytes& b, std::size_t at) { return b[at] | b[at + 1] << 8; }
std::size_t get32(const Bytes& b, std::size_t at) { return get16(b, at) | get16(b, at + 2) << 16; }

// The offset of the first 3DS chunk with this id, depth first; 0 if none.
std::size_t findChunk(const Bytes& b, unsigned id, std::size_t begin = 0, std::size_t end = 0) {
  if (end == 0) end = b.size();
  for (std::size_t at = begin; at + 6 <= end; at += get32(b, at + 2)) {
    const unsigned here = get16(b, at);
    if (here == id) return at;
    std::size_t body = at + 6;
    if (here == 0x4000) body += std::strlen(reinterpret_cast<const char*>(&b[body])) + 1;
    if (here == 0x4120) body += 2 + 8 * get16(b, body);
    if (here == 0x4D4D || here == 0x3D3D || here == 0x4000 || here == 0x4100 || here == 0x4120 ||
        here == 0xAFFF)
      if (const std::size_t inner = findChunk(b, id, body, at + get32(b, at + 2))) return inner;
    if (get32(b, at + 2) < 6) break;
  }
  return 0;
}

// The offset of the first JPEG frame header (baseline or progressive).
std::size_t findFrame(const Bytes& b) {
  for (std::size_t at = 2; at + 9 < b.size(); ++at)
    if (b[at] == 0xFF && (b[at + 1] == 0xC0 || b[at + 1] == 0xC2)) return at;
  return 0;
}

struct Damage {
  const char* what;
  const char* file;  // under media/
  AssetKind kind;
  std::function<void(Bytes&)> apply;
  bool accepted;
};

TEST(AssetCheck, RefusesTheWorstDamageAndAcceptsWhatTheEngineLoadsSafely) {
  const Damage cases[] = {
      {"JPEG as shipped", "tank/kamo.jpg", AssetKind::Texture, [](Bytes&) {}, true},
      {"JPEG with bytes after its end", "tank/kamo.jpg", AssetKind::Texture,
       [](Bytes& b) {
         b.insert(b.end(), {0x00, 0x13, 0x37, 0xFF, 0x00});
       },
       true},
      {"JPEG 30000 px wide", "tank/kamo.jpg", AssetKind::Texture,
       [](Bytes& b) {
         const std::size_t frame = findFrame(b);
         b[frame + 7] = 30000 >> 8;
         b[frame + 8] = 30000 & 0xFF;
       },
       false},
      // libjpeg stops at the marker and grey-fills the rest: the engine reads no further.
      {"JPEG cut, its end re-appended", "tank/kamo.jpg", AssetKind::Texture,
       [](Bytes& b) {
         b.resize(b.size() / 2);
         b.insert(b.end(), {0xFF, 0xD9});
       },
       true},
      {"JPEG cut", "tank/kamo.jpg", AssetKind::Texture, [](Bytes& b) { b.resize(b.size() / 2); },
       false},
      {"3DS as shipped", "tank/wheel.3ds", AssetKind::Mesh, [](Bytes&) {}, true},
      {"3DS material name without its end", "tank/wheel.3ds", AssetKind::Mesh,
       [](Bytes& b) {
         const std::size_t name = findChunk(b, 0xA000);
         b[name + get32(b, name + 2) - 1] = 'x';
       },
       false},
      {"3DS texture coordinates one more than there are", "tank/wheel.3ds", AssetKind::Mesh,
       [](Bytes& b) {
         const std::size_t coords = findChunk(b, 0x4140);
         put16(b, coords + 6, get16(b, coords + 6) + 1);
       },
       false},
      {"3DS material group naming a face beyond the list", "tank/wheel.3ds", AssetKind::Mesh,
       [](Bytes& b) {
         const std::size_t faces = findChunk(b, 0x4120), group = findChunk(b, 0x4130);
         const std::size_t name = std::strlen(reinterpret_cast<const char*>(&b[group + 6])) + 1;
         put16(b, group + 6 + name + 2, get16(b, faces + 6));
       },
       false},
      {"3DS face with a vertex beyond the list", "tank/wheel.3ds", AssetKind::Mesh,
       [](Bytes& b) {
         const std::size_t vertices = findChunk(b, 0x4110), faces = findChunk(b, 0x4120);
         put16(b, faces + 8, get16(b, vertices + 6));
       },
       false},
      {"BMP as shipped", "fontkorvenblatt.bmp", AssetKind::Font, [](Bytes&) {}, true},
      {"BMP cut by a byte", "fontkorvenblatt.bmp", AssetKind::Font, [](Bytes& b) { b.pop_back(); },
       false},
      {"BMP run-length compressed", "fontkorvenblatt.bmp", AssetKind::Font,
       [](Bytes& b) { put32(b, 30, 1); }, false},
      {"BMP top-down", "fontkorvenblatt.bmp", AssetKind::Font,
       [](Bytes& b) { put32(b, 22, static_cast<std::uint32_t>(-128)); }, false},
      {"BMP pixels said to start inside the headers", "fontkorvenblatt.bmp", AssetKind::Font,
       [](Bytes& b) { put32(b, 10, 20); }, false},
      {"BMP image size smaller than its rows", "fontkorvenblatt.bmp", AssetKind::Font,
       [](Bytes& b) { put32(b, 34, 1000); }, false},
      {"BMP 100000 px wide", "fontkorvenblatt.bmp", AssetKind::Font,
       [](Bytes& b) { put32(b, 18, 100000); }, false},
  };
  for (const Damage& damage : cases) {
    Bytes bytes = readFile(fs::path("../media") / damage.file);
    ASSERT_FALSE(bytes.empty()) << damage.file;
    damage.apply(bytes);
    const std::string refusal = assetRefusal(damage.kind, bytes.data(), bytes.size());
    EXPECT_EQ(refusal.empty(), damage.accepted) << damage.what << ": " << refusal;
  }
}

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
  irr::IrrlichtDevice* nullDevice = irr::createDevice(irr::video::EDT_NULL);
  nullDevice->getLogger()->setLogLevel(irr::ELL_NONE);
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
