// Our JPEG decoder: the engine's pixels for every file both accept, and a refusal with its
// reason for each bound and each kind of damage. The engine's own JPEG loader appears only
// here, as the reference.
#include "assets/jpeg.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "forge/jpeg_forge.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using forge::Bytes;

const fs::path kSource = FERROX_SOURCE_DIR;

Bytes readBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Empty when accepted, else the reason.
std::string refusal(const Bytes& bytes) {
  assets::Image image;
  std::string why;
  return assets::decodeJpeg(bytes.data(), bytes.size(), image, why) ? "" : why;
}

bool refusedFor(const Bytes& bytes, const std::string& reason) {
  const std::string why = refusal(bytes);
  return why.rfind("JPEG: ", 0) == 0 && why.find(reason) != std::string::npos;
}

// The engine's loader on a null device, decoding from memory: the reference pixels.
class EngineJpeg : public ::testing::Test {
 protected:
  void SetUp() override { device_ = support::createNullDevice(); }
  void TearDown() override { device_->drop(); }

  // Whether our decoder gives exactly the engine's image for `bytes`; says how not.
  ::testing::AssertionResult sameAsEngine(const Bytes& bytes, const std::string& name) {
    assets::Image ours;
    std::string why;
    if (!assets::decodeJpeg(bytes.data(), bytes.size(), ours, why))
      return ::testing::AssertionFailure() << name << " refused: " << why;
    irr::io::IReadFile* file = device_->getFileSystem()->createMemoryReadFile(
        const_cast<unsigned char*>(bytes.data()), static_cast<irr::s32>(bytes.size()),
        (name + ".jpg").c_str(), false);
    irr::video::IImage* theirs = device_->getVideoDriver()->createImageFromFile(file);
    file->drop();
    if (theirs == nullptr) return ::testing::AssertionFailure() << name << ": the engine fails";
    const irr::core::dimension2d<irr::u32> size = theirs->getDimension();
    const auto* pixels = static_cast<const unsigned char*>(theirs->lock());
    const bool sameShape = theirs->getColorFormat() == ours.format && size.Width == ours.width &&
                           size.Height == ours.height &&
                           ours.pixels.size() == 3ul * ours.width * ours.height;
    std::size_t differ = 0;
    for (std::size_t i = 0; sameShape && i < ours.pixels.size(); ++i)
      differ += pixels[i] != ours.pixels[i];
    theirs->unlock();
    theirs->drop();
    if (!sameShape)
      return ::testing::AssertionFailure() << name << ": ours " << ours.width << "x" << ours.height
                                           << ", the engine's " << size.Width << "x" << size.Height;
    if (differ != 0)
      return ::testing::AssertionFailure() << name << ": " << differ << " bytes differ";
    return ::testing::AssertionSuccess();
  }

  irr::IrrlichtDevice* device_ = nullptr;
};

// --- Pixels: the same as the engine's loader gives.

TEST_F(EngineJpeg, EveryShippedTextureDecodesToTheEnginesPixels) {
  int textures = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(kSource / "media")) {
    if (entry.path().extension() != ".jpg") continue;
    ++textures;
    EXPECT_TRUE(sameAsEngine(readBytes(entry.path()), entry.path().string()));
  }
  EXPECT_EQ(textures, 11);
}

TEST_F(EngineJpeg, EncodingsDecodeToTheEnginesPixels) {
  struct Case {
    const char* name;
    forge::Encoding encoding;
  };
  std::vector<Case> cases;
  auto add = [&cases](const char* name, auto change) {
    forge::Encoding e;
    change(e);
    cases.push_back({name, e});
  };
  add("4:4:4 gradients", [](forge::Encoding&) {});
  add("4:2:0 noise, odd size",
      [](forge::Encoding& e) { e.subsampled = true, e.seed = 3, e.width = 37, e.height = 21; });
  add("4:2:0 gradients", [](forge::Encoding& e) { e.subsampled = true, e.width = 70; });
  add("grey", [](forge::Encoding& e) { e.components = 1, e.seed = 5, e.width = 33; });
  add("RGB", [](forge::Encoding& e) { e.rgb = true, e.seed = 6; });
  add("progressive 4:2:0 noise",
      [](forge::Encoding& e) { e.progressive = e.subsampled = true, e.seed = 7, e.height = 40; });
  add("progressive grey", [](forge::Encoding& e) { e.progressive = true, e.components = 1; });
  add("restarts",
      [](forge::Encoding& e) { e.subsampled = true, e.seed = 8, e.restartInterval = 2; });
  add("quality 100", [](forge::Encoding& e) { e.quality = 100, e.seed = 9; });
  for (const Case& c : cases) EXPECT_TRUE(sameAsEngine(forge::encode(c.encoding), c.name));

  // Progressive files whose scans stop early: libjpeg smooths the blocks it lacks.
  forge::Encoding progressive;
  progressive.progressive = progressive.subsampled = true;
  progressive.seed = 10;
  const Bytes full = forge::encode(progressive);
  for (int scans = 1; scans <= 3; ++scans)
    EXPECT_TRUE(sameAsEngine(forge::withFirstScans(full, scans),
                             "the first " + std::to_string(scans) + " progressive scans"));
}

TEST_F(EngineJpeg, TheLargestAreaDecodesToTheEnginesPixels) {
  forge::Encoding e;
  e.width = e.height = 1024;
  ASSERT_EQ(static_cast<unsigned long>(e.width) * e.height, assets::kMaxJpegPixels);
  e.progressive = true;  // full chroma: the most scan work libjpeg's own script takes
  e.seed = 11;
  EXPECT_TRUE(sameAsEngine(forge::encode(e), "progressive noise at the largest area"));
}

// --- Bounds: each one refused with its reason, and what is just within it accepted.

forge::Encoding sized(unsigned width, unsigned height) {
  forge::Encoding e;
  e.width = width;
  e.height = height;
  return e;
}

TEST(JpegBounds, SidesAndAreaUpToTheLargestTexture) {
  const unsigned side = assets::kMaxJpegSide;
  const unsigned long area = assets::kMaxJpegPixels;
  const unsigned square = 1024;
  ASSERT_EQ(static_cast<unsigned long>(square) * square, area);
  for (const forge::Encoding& e : {sized(side, 8), sized(8, side), sized(square, square),
                                   sized(side, static_cast<unsigned>(area / side))})
    EXPECT_EQ(refusal(forge::encode(e)), "") << e.width << "x" << e.height;
  for (const forge::Encoding& e : {sized(side + 1, 8), sized(8, side + 1),
                                   sized(square + 1, square), sized(square, square + 1)})
    EXPECT_TRUE(refusedFor(forge::encode(e), "larger than the largest texture"))
        << e.width << "x" << e.height << ": " << refusal(forge::encode(e));
}

TEST(JpegBounds, FilesOverTheByteLimitAreRefused) {
  const Bytes small = forge::encode(sized(16, 16));
  const Bytes within = forge::withComments(small, assets::kMaxJpegBytes - small.size());
  ASSERT_LE(within.size(), assets::kMaxJpegBytes);
  EXPECT_EQ(refusal(within), "");
  Bytes over = within;
  over.resize(assets::kMaxJpegBytes + 1, 0);  // bytes after the end, never read
  EXPECT_TRUE(refusedFor(over, "larger than")) << refusal(over);
}

TEST(JpegBounds, ScansUpToTheLimit) {
  forge::Encoding e = sized(16, 16);
  e.progressive = true;
  const Bytes file = forge::encode(e);
  const int scans = static_cast<int>(assets::kMaxJpegScans);
  EXPECT_EQ(refusal(forge::withLastScanRepeated(file, scans)), "");
  const Bytes more = forge::withLastScanRepeated(file, scans + 1);
  EXPECT_TRUE(refusedFor(more, "more scans")) << refusal(more);
}

// Scans at the largest area, one component each: the most blocks a scan can have.
forge::Flood fullScans(int scans, bool restarts) {
  forge::Flood f;
  f.width = f.height = 1024;
  f.interleaved = false;
  f.scans = scans;
  f.content = restarts ? forge::Flood::kRestarts : forge::Flood::kData;
  return f;
}

constexpr unsigned long kBlocksPerScan = (1024 / 8) * (1024 / 8);  // of one component

TEST(JpegBounds, ScanWorkUpToTheBudget) {
  // Full scans with every block's data present: each block a block decode.
  const int scans = static_cast<int>(assets::kMaxJpegScanBlocks / kBlocksPerScan);
  ASSERT_GE(scans, 3);  // libjpeg's own progressive script at the largest area fits
  EXPECT_EQ(refusal(forge::flood(fullScans(scans, false))), "");
  const Bytes over = forge::flood(fullScans(scans + 1, false));
  EXPECT_TRUE(refusedFor(over, "more work than allowed")) << refusal(over);
}

TEST(JpegBounds, RestartsAreChargedAsTheBlocksTheyRedecode) {
  // A restart before every block, no data: each block decoded from zero bits.
  const unsigned long perScan = kBlocksPerScan * (1 + assets::kJpegRestartCharge);
  const int scans = static_cast<int>(assets::kMaxJpegScanBlocks / perScan);
  ASSERT_GE(scans, 1);
  EXPECT_EQ(refusal(forge::flood(fullScans(scans, true))), "");
  const Bytes over = forge::flood(fullScans(scans + 1, true));
  EXPECT_TRUE(refusedFor(over, "more work than allowed")) << refusal(over);
}

TEST(JpegBounds, InterleavedScansAreChargedForEveryComponent) {
  // Progressive: one DC scan of all three components, restarts after every MCU, then AC
  // scans of one component each.
  forge::Flood f = fullScans(1, true);
  f.progressive = true;
  const unsigned long dc = 3 * kBlocksPerScan * (1 + assets::kJpegRestartCharge);
  const unsigned long ac = kBlocksPerScan * (1 + assets::kJpegRestartCharge);
  ASSERT_LE(dc, assets::kMaxJpegScanBlocks);
  f.scans = 1 + static_cast<int>((assets::kMaxJpegScanBlocks - dc) / ac);
  EXPECT_EQ(refusal(forge::flood(f)), "");
  ++f.scans;
  EXPECT_TRUE(refusedFor(forge::flood(f), "more work than allowed"));
}

TEST(JpegBounds, ArithmeticCodingIsRefused) {
  forge::Encoding e = sized(16, 16);
  e.arithmetic = true;
  EXPECT_TRUE(refusedFor(forge::encode(e), "arithmetic coding"));
  e.progressive = true;
  e.restartInterval = 1;
  EXPECT_TRUE(refusedFor(forge::encode(e), "arithmetic coding"));
}

TEST(JpegBounds, OnlyGreyRgbAndYCbCr) {
  forge::Encoding e = sized(16, 16);
  e.components = 4;
  EXPECT_TRUE(refusedFor(forge::encode(e), "CMYK"));
}

// --- Damage: cut files, lengths past the end, bytes after the end.

TEST(JpegDamage, EveryCutIsRefused) {
  forge::Encoding e = sized(24, 16);
  e.seed = 12;
  for (bool progressive : {false, true}) {
    e.progressive = progressive;
    const Bytes file = forge::encode(e);
    for (std::size_t size = 0; size + 2 < file.size(); ++size) {
      const Bytes cut(file.begin(), file.begin() + static_cast<long>(size));
      const std::string why = refusal(cut);
      EXPECT_TRUE(why.rfind("JPEG: ", 0) == 0) << size << " of " << file.size() << " bytes";
    }
  }
}

TEST_F(EngineJpeg, ACutScanWithItsEndAppendedDecodesAsTheEngineDoes) {
  forge::Encoding e = sized(32, 32);
  e.seed = 13;
  Bytes file = forge::encode(e);
  file.resize(file.size() - 100);  // inside the only scan
  file.insert(file.end(), {0xFF, 0xD9});
  EXPECT_TRUE(sameAsEngine(file, "a cut scan, then its end"));
}

TEST(JpegDamage, AMarkerRunningPastTheEndIsRefused) {
  const Bytes file = forge::encode(sized(16, 16));
  Bytes lying(file.begin(), file.begin() + 2);
  const std::size_t length = file.size() + 16;  // a comment longer than the whole file
  lying.insert(lying.end(), {0xFF, 0xFE, static_cast<unsigned char>(length >> 8),
                             static_cast<unsigned char>(length & 0xFF)});
  lying.insert(lying.end(), file.begin() + 2, file.end());
  EXPECT_TRUE(refusedFor(lying, "runs past the end")) << refusal(lying);
}

TEST(JpegDamage, NotAJpegIsRefused) {
  for (const Bytes& bytes : {Bytes{}, Bytes{0xFF}, Bytes{0xFF, 0xD8}, Bytes{'B', 'M', 0, 0}})
    EXPECT_TRUE(refusal(bytes).rfind("JPEG: ", 0) == 0) << bytes.size() << " bytes";
}

TEST(JpegDamage, WhatFollowsTheEndIsNeverRead) {
  forge::Encoding e = sized(16, 16);
  e.seed = 14;
  const Bytes file = forge::encode(e);
  assets::Image plain, followed;
  std::string why;
  ASSERT_TRUE(assets::decodeJpeg(file.data(), file.size(), plain, why)) << why;
  // Garbage, a marker cut short, another whole image and a scan header, after the end.
  const std::vector<Bytes> tails = {Bytes(300, 0x55), Bytes{0xFF}, Bytes{0xFF, 0xC4, 0xFF},
                                    forge::encode(sized(32, 32)), Bytes{0xFF, 0xDA, 0x00, 0x08}};
  for (const Bytes& tail : tails) {
    Bytes bytes = file;
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    ASSERT_TRUE(assets::decodeJpeg(bytes.data(), bytes.size(), followed, why)) << why;
    EXPECT_EQ(followed.width, plain.width);
    EXPECT_EQ(followed.pixels, plain.pixels);
  }
}

TEST(JpegDamage, FrameLiesAreRefused) {
  forge::Encoding e = sized(16, 16);
  e.progressive = true;
  const Bytes file = forge::encode(e);
  const std::vector<forge::Segment> list = forge::segments(file);
  const forge::Segment* frame = nullptr;
  const forge::Segment* secondScan = nullptr;
  int scans = 0;
  for (const forge::Segment& s : list) {
    if (s.marker == 0xC2) frame = &s;
    if (s.marker == 0xDA && ++scans == 2) secondScan = &s;
  }
  ASSERT_TRUE(frame != nullptr && secondScan != nullptr);
  // A height of 0: the lines are left for a later marker to count, which libjpeg never does.
  Bytes noHeight = file;
  noHeight[frame->begin + 5] = noHeight[frame->begin + 6] = 0;
  EXPECT_TRUE(refusal(noHeight).rfind("JPEG: ", 0) == 0);
  // A second frame between the scans.
  Bytes twoFrames(file.begin(), file.begin() + static_cast<long>(secondScan->begin));
  forge::append(twoFrames, file, frame->begin, frame->end);
  forge::append(twoFrames, file, secondScan->begin, file.size());
  EXPECT_TRUE(refusal(twoFrames).rfind("JPEG: ", 0) == 0);
}

// --- The regression corpus: "accept-" files decode, to the engine's pixels; all others
// are refused.

std::vector<fs::path> corpus() {
  std::vector<fs::path> paths;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(kSource / "tests" / "corpus" / "jpeg"))
    paths.push_back(entry.path());
  return paths;
}

bool acceptable(const fs::path& path) { return path.filename().string().rfind("accept-", 0) == 0; }

TEST_F(EngineJpeg, AcceptedCorpusCasesDecodeToTheEnginesPixels) {
  for (const fs::path& path : corpus())
    if (acceptable(path)) {
      EXPECT_TRUE(sameAsEngine(readBytes(path), path.string()));
    }
}

TEST(JpegCorpus, EveryCaseIsAcceptedOrRefusedAsNamed) {
  const std::vector<fs::path> paths = corpus();
  EXPECT_FALSE(paths.empty());
  for (const fs::path& path : paths) {
    const std::string why = refusal(readBytes(path));
    EXPECT_EQ(why.empty(), acceptable(path)) << path << ": " << why;
    if (!why.empty()) {
      EXPECT_EQ(why.rfind("JPEG: ", 0), 0u) << why;
    }
  }
}

}  // namespace
