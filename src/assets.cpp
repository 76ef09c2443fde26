#include "assets.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "Tank.h"

namespace {

enum class AssetKind { Mesh, Texture, Font };
struct Asset {
  const char* path;
  AssetKind kind;
};

// Everything the world and the tank load; checked before anything is built.
const Asset kAssets[] = {
    {kGroundMesh, AssetKind::Mesh},
    {kGroundTexture, AssetKind::Texture},
    {kSkyUp, AssetKind::Texture},
    {kSkyDown, AssetKind::Texture},
    {kSkyRight, AssetKind::Texture},
    {kSkyLeft, AssetKind::Texture},
    {kSkyFront, AssetKind::Texture},
    {kSkyBack, AssetKind::Texture},
    {kCubeTexture, AssetKind::Texture},
    {kFont, AssetKind::Font},
    {Tank::kChassisMesh, AssetKind::Mesh},
    {Tank::kTrackMesh, AssetKind::Mesh},
    {Tank::kWheelMesh, AssetKind::Mesh},
    {turret::Turret::kTurretMesh, AssetKind::Mesh},
    {turret::Turret::kCanonMesh, AssetKind::Mesh},
    {Tank::kChassisTexture, AssetKind::Texture},
    {Tank::kWheelTexture, AssetKind::Texture},
    {Tank::kTrackTexture, AssetKind::Texture},
};

// A regular file that opens. Anything else in its place (a directory, a pipe) would reach
// the engine's loaders, which crash on a directory and would wait forever on a pipe.
bool readable(const char* path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) &&
         std::ifstream(path, std::ios::binary).good();
}

// Cheap checks that refuse a cut or foreign file before the engine sees it: its JPEG
// loader reads past the end of a cut file (and crashes in libjpeg), and it loads whatever
// chunks a cut 3DS file still holds, or a BMP missing pixel rows, and calls it success.
using Bytes = std::vector<unsigned char>;

constexpr std::size_t kChunkHeader = 6;  // bytes: 16-bit id, 32-bit length (header included)
constexpr unsigned kMainChunk = 0x4D4D;
constexpr unsigned kObjectChunk = 0x4000;   // a NUL-terminated name, then chunks
constexpr int kMaxChunkDepth = 8;           // deeper than any mesh nests its chunks
constexpr std::size_t kBmpHeaders = 54;     // bytes: file header and information header
constexpr std::uint32_t kBmpRgb = 0;        // uncompressed
constexpr std::uint32_t kBmpBitFields = 3;  // uncompressed, with colour masks
constexpr unsigned char kJpegMarker = 0xFF;
constexpr unsigned char kJpegStart = 0xD8;  // after a marker: start of image
constexpr unsigned char kJpegEnd = 0xD9;    // after a marker: end of image

unsigned readU16(const Bytes& bytes, std::size_t at) {
  return static_cast<unsigned>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t readU32(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

bool isContainer(unsigned id) {
  switch (id) {
    case kMainChunk:           // the file
    case 0x3D3D:               // the scene
    case kObjectChunk:         // one named object
    case 0x4100:               // its triangle mesh
    case 0xAFFF:               // a material
    case 0xB000: return true;  // the key frames
  }
  return false;
}

// The chunks in [begin, end) follow one another without gap or overlap, and so do the
// chunks inside every container among them.
bool chunksTile(const Bytes& bytes, std::size_t begin, std::size_t end, int depth) {
  if (depth > kMaxChunkDepth) return false;
  while (begin < end) {
    if (end - begin < kChunkHeader) return false;
    const unsigned id = readU16(bytes, begin);
    const std::size_t length = readU32(bytes, begin + 2);
    if (length < kChunkHeader || length > end - begin) return false;
    if (isContainer(id)) {
      std::size_t first = begin + kChunkHeader;
      if (id == kObjectChunk) {
        while (first < begin + length && bytes[first] != 0) ++first;
        if (first == begin + length) return false;
        ++first;
      }
      if (!chunksTile(bytes, first, begin + length, depth + 1)) return false;
    }
    begin += length;
  }
  return true;
}

bool whole3ds(const Bytes& bytes) {
  return bytes.size() >= kChunkHeader && readU16(bytes, 0) == kMainChunk &&
         readU32(bytes, 2) == bytes.size() && chunksTile(bytes, 0, bytes.size(), 0);
}

// "BM", and for an uncompressed image every pixel row the header promises.
bool wholeBmp(const Bytes& bytes) {
  if (bytes.size() < kBmpHeaders || bytes[0] != 'B' || bytes[1] != 'M') return false;
  const std::uint64_t offset = readU32(bytes, 10);
  const auto width = static_cast<std::int32_t>(readU32(bytes, 18));
  const auto height = static_cast<std::int32_t>(readU32(bytes, 22));
  const std::uint64_t bits = readU16(bytes, 28);
  const std::uint32_t compression = readU32(bytes, 30);
  if (width <= 0 || height == 0 || offset >= bytes.size()) return false;
  if (compression != kBmpRgb && compression != kBmpBitFields) return true;
  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
  const auto rows = static_cast<std::uint64_t>(std::llabs(height));  // negative: top down
  return offset + rowBytes * rows <= bytes.size();
}

// Starts with the start-of-image marker and ends with the end-of-image marker.
bool wholeJpeg(const Bytes& bytes) {
  const std::size_t n = bytes.size();
  return n >= 4 && bytes[0] == kJpegMarker && bytes[1] == kJpegStart &&
         bytes[n - 2] == kJpegMarker && bytes[n - 1] == kJpegEnd;
}

bool intact(const Asset& asset) {
  std::ifstream file(asset.path, std::ios::binary);
  const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  switch (asset.kind) {
    case AssetKind::Mesh: return whole3ds(bytes);
    case AssetKind::Texture: return wholeJpeg(bytes);
    case AssetKind::Font: return wholeBmp(bytes);
  }
  return false;
}

bool loads(irr::IrrlichtDevice* dev, const Asset& asset) {
  switch (asset.kind) {
    case AssetKind::Mesh: return dev->getSceneManager()->getMesh(asset.path) != nullptr;
    case AssetKind::Texture: return dev->getVideoDriver()->getTexture(asset.path) != nullptr;
    case AssetKind::Font: return dev->getGUIEnvironment()->getFont(asset.path) != nullptr;
  }
  return false;
}

}  // namespace

const std::size_t kAssetCount = std::size(kAssets);

std::vector<std::string> brokenAssets(irr::IrrlichtDevice* dev) {
  std::vector<std::string> broken;
  for (const Asset& asset : kAssets) {
    if (!readable(asset.path) || (dev != nullptr && (!intact(asset) || !loads(dev, asset))))
      broken.push_back(asset.path);
  }
  return broken;
}

void enterMediaDirectory() {
  namespace fs = std::filesystem;
  std::error_code error;
  // A bare ../media is not enough: many systems have a /media of their own.
  if (fs::is_regular_file(kGroundMesh, error)) return;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (!error) fs::current_path(exe.parent_path(), error);
}
