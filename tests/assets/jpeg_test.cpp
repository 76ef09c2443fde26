// Our JPEG decoder: the engine's pixels for every file both accept, and a refusal with its
// reason for each bound the corpus replay cannot hold. The engine's own JPEG loader appears
// only here, as the reference.
#include "assets/jpeg.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "assets/files.h"
#include "forge/jpeg_forge.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using forge::Bytes;

const fs::path kSource = FERROX_SOURCE_DIR;

// Empty when accepted, else the reason.
std::string refusal(const Bytes& bytes) {
  assets::Image image;
  std::string why;
  return assets::decodeJpeg(bytes.data(), bytes.size(), image, why) ? "" : why;
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
    const auto* pixels = static_cast<const unsigned char*>(theirs->lock());
    const bool same = theirs->getColorFormat() == ours.format &&
                      theirs->getDimension() == irr::core::dimension2du(ours.width, ours.height) &&
                      ours.pixels.size() == 3ul * ours.width * ours.height &&
                      std::equal(ours.pixels.begin(), ours.pixels.end(), pixels);
    theirs->unlock();
    theirs->drop();
    if (!same) return ::testing::AssertionFailure() << name << ": not the engine's image";
    return ::testing::AssertionSuccess();
  }

  irr::IrrlichtDevice* device_ = nullptr;
};

// --- Pixels: the same as the engine's loader gives.

// The shipped textures, the regression corpus's "accept-" files (the largest area, cut scans,
// bytes after the end; the corpus replay checks that all its others are refused, cut files
// among them), and encodings no shipped file has.
TEST_F(EngineJpeg, ShippedTexturesCorpusCasesAndEncodingsDecodeToTheEnginesPixels) {
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(kSource / "media"))
    if (entry.path().extension() == ".jpg") files.push_back(entry.path());
  const std::size_t textures = files.size();
  for (const fs::directory_entry& entry : fs::directory_iterator(kSource / "tests/corpus/jpeg"))
    if (entry.path().filename().string().rfind("accept-", 0) == 0) files.push_back(entry.path());
  EXPECT_EQ(textures, 11u);
  EXPECT_GE(files.size(), textures + 4);
  for (const fs::path& path : files) {
    Bytes bytes;
    EXPECT_TRUE(assets::readFile(path.c_str(), bytes) && sameAsEngine(bytes, path.string()));
  }

  forge::Encoding e[9];  // 4:4:4 gradients first
  e[1].subsampled = true, e[1].seed = 3, e[1].width = 37, e[1].height = 21;  // 4:2:0 noise
  e[2].subsampled = true, e[2].width = 70;                                   // 4:2:0 gradients
  e[3].components = 1, e[3].seed = 5, e[3].width = 33;                       // grey
  e[4].rgb = true, e[4].seed = 6;                                            // RGB
  e[5].progressive = e[5].subsampled = true, e[5].seed = 7, e[5].height = 40;
  e[6].progressive = true, e[6].components = 1;                     // progressive grey
  e[7].subsampled = true, e[7].seed = 8, e[7].restartInterval = 2;  // restarts
  e[8].quality = 100, e[8].seed = 9;
  for (int i = 0; i < 9; ++i)
    EXPECT_TRUE(sameAsEngine(forge::encode(e[i]), "encoding " + std::to_string(i)));
}

// --- Bounds and refusals: each with its reason, and what is just within a bound accepted.
// The corpus replay (tests/corpus/jpeg) checks the sides, the area, the scans and arithmetic
// coding, each just within and just beyond where there is a bound.

// Scans at the largest area, one component each, as many as the budget of block decodes
// allows and `over` more: with every block's data, or with a restart before every block and
// no data, each restarted block charged as the blocks it redecodes; progressive, a first DC
// scan of all three components.
Bytes budgetFlood(forge::Flood::Content content, bool progressive, int over) {
  const unsigned long blocks = (1024 / 8) * (1024 / 8);  // of one component
  const unsigned long each =
      content == forge::Flood::kData ? blocks : blocks * (1 + assets::kJpegRestartCharge);
  const unsigned long first = progressive ? 3 * each : each;
  forge::Flood f;
  f.width = f.height = 1024;
  f.interleaved = false;
  f.progressive = progressive;
  f.content = content;
  f.scans = 1 + static_cast<int>((assets::kMaxJpegScanBlocks - first) / each) + over;
  return forge::flood(f);
}

// libjpeg's own progressive script costs most at the size whose blocks are the most within
// the caps (kMaxJpegBlocks), either way round: accepted there grey, YCbCr (full and half
// chroma) and RGB. The corpus holds RGB at this size and at the largest square.
TEST(JpegBounds, LibjpegsOwnScriptsFitAtTheirDearestSize) {
  for (int kind = 0; kind < 5; ++kind) {
    forge::Encoding e;
    e.width = kind == 4 ? 577 : 1817, e.height = kind == 4 ? 1817 : 577, e.progressive = true;
    e.components = kind == 0 ? 1 : 3;
    e.rgb = kind == 1 || kind == 4;
    e.subsampled = kind == 3;
    SCOPED_TRACE("kind " + std::to_string(kind));
    EXPECT_EQ(refusal(forge::encode(e)), "");
  }
}

// A comment after the start whose length runs past the end of the file.
Bytes lyingComment() {
  const Bytes file = forge::encode(forge::Encoding());
  Bytes lying{0xFF, 0xD8, 0xFF, 0xFE};
  forge::put16(lying, static_cast<unsigned>(file.size() + 16));
  forge::append(lying, file, 2, file.size());
  return lying;
}

TEST(JpegBounds, EachIsRefusedWithItsReason) {
  const Bytes small = forge::encode(forge::Encoding());
  const Bytes fullest = forge::withComments(small, assets::kMaxJpegBytes - small.size());
  Bytes longer = fullest;
  longer.resize(assets::kMaxJpegBytes + 1, 0);  // bytes after the end, never read
  forge::Encoding cmyk;
  cmyk.components = 4;
  using forge::Flood;
  const struct {
    const char* what;
    Bytes within;  // accepted; none when empty
    Bytes beyond;  // refused
    const char* reason;
  } bounds[] = {
      {"bytes", fullest, longer, "larger than"},
      {"block decodes", budgetFlood(Flood::kData, false, 0), budgetFlood(Flood::kData, false, 1),
       "more work than allowed"},
      {"restarts", budgetFlood(Flood::kRestarts, false, 0), budgetFlood(Flood::kRestarts, false, 1),
       "more work than allowed"},
      {"an interleaved scan", budgetFlood(Flood::kRestarts, true, 0),
       budgetFlood(Flood::kRestarts, true, 1), "more work than allowed"},
      {"CMYK", {}, forge::encode(cmyk), "CMYK"},  // libjpeg refuses it too, less plainly
      {"a marker past the end", {}, lyingComment(), "runs past the end"},
  };
  for (const auto& bound : bounds) {
    SCOPED_TRACE(bound.what);
    EXPECT_TRUE(bound.within.empty() || refusal(bound.within).empty()) << refusal(bound.within);
    const std::string why = refusal(bound.beyond);
    EXPECT_TRUE(why.rfind("JPEG: ", 0) == 0 && why.find(bound.reason) != std::string::npos) << why;
  }
}

}  // namespace
