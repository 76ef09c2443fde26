// The media files as the program hands them to the engine: meshes have the shapes and facing the
// rig needs, and the font carries the status line.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "assets/bmp.h"
#include "assets/files.h"
#include "assets/library.h"
#include "support.h"

using namespace irr;

namespace {

constexpr float kShapeTol = 0.05f;   // m, for sizes the rig gives as "about"
constexpr float kMinVolume = 1e-3f;  // m^3, a solid that faces outward encloses at least this
constexpr u32 kStatusWidth = 290;    // px
constexpr u32 kStatusHeight = 40;    // px
constexpr u32 kMinGlyphHeight = 14;  // px, readable at 1024 x 768
constexpr u32 kMinInkAlpha = 128;    // of 255, the densest pixel of a visible glyph
constexpr const char* kFontFile = FERROX_SOURCE_DIR "/media/fontkorvenblatt.bmp";

// One null device for the suite: the engine's loaders without a window.
class Media : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    device_ = support::createNullDevice();
    problems_ = assets::installAll(device_, FERROX_SOURCE_DIR "/bin");
  }
  static void TearDownTestSuite() { device_->drop(); }

  void SetUp() override { ASSERT_TRUE(problems_.empty()) << problems_.front(); }

  static IrrlichtDevice* device_;
  static std::vector<std::string> problems_;
};
IrrlichtDevice* Media::device_ = nullptr;
std::vector<std::string> Media::problems_;

// Each mesh's extent after loading, in its node's frame and before node scales: catches the
// format's Y/Z swap and slips of scale. Solids must face outward (the engine draws front
// faces only); the ground must face up.
TEST_F(Media, MeshesHaveTheShapesAndFacingTheRigPlacesThemFor) {
  const struct {
    const char* path;
    core::vector3df min, max;  // m
  } table[] = {
      // Ground, shown at scale 10: flat, top at 0, reaching +-500 past the +-400 roamed.
      {"../media/env/mark2.3ds", {-50, 0, -50}, {50, 0, 50}},
      // Hull between the tracks, from the belly up to the deck at 2 where the turret stands,
      // with an engine grille 0.08 proud of it.
      {"../media/tank/chassi.3ds", {-1.35f, 0.45f, -3.3f}, {1.35f, 2.08f, 3.3f}},
      // Track: 0.6 wide, a loop of 1.1 x 5.8 round its node.
      {"../media/tank/track.3ds", {-0.3f, -0.55f, -2.9f}, {0.3f, 0.55f, 2.9f}},
      // Road wheel: 0.5 wide about X, radius 0.13, centred.
      {"../media/tank/wheel.3ds", {-0.25f, -0.13f, -0.13f}, {0.25f, 0.13f, 0.13f}},
      // Turret: 2.6 wide, 3.5 long, standing on its node; low.
      {"../media/tank/turret.3ds", {-1.3f, 0.0f, -1.75f}, {1.3f, 1.05f, 2.1f}},
      // Gun: muzzle 3 ahead of its node, breech and mantlet back at the pivot 2.2 behind.
      {"../media/tank/canon.3ds", {-0.45f, -0.3f, -2.6f}, {0.45f, 0.3f, 3.0f}}};
  for (const auto& e : table) {
    SCOPED_TRACE(e.path);
    scene::IAnimatedMesh* animated = device_->getSceneManager()->getMesh(e.path);
    ASSERT_NE(animated, nullptr);
    scene::IMesh* m = animated->getMesh(0);
    const core::aabbox3df box = m->getBoundingBox();
    for (const auto& [got, want] : {std::pair(box.MinEdge, e.min), std::pair(box.MaxEdge, e.max)}) {
      EXPECT_NEAR(got.X, want.X, kShapeTol);
      EXPECT_NEAR(got.Y, want.Y, kShapeTol);
      EXPECT_NEAR(got.Z, want.Z, kShapeTol);
    }
    double volume = 0.0;  // divergence theorem over the engine's front faces
    u32 triangles = 0, downward = 0;
    for (u32 b = 0; b < m->getMeshBufferCount(); ++b) {
      scene::IMeshBuffer* buffer = m->getMeshBuffer(b);
      ASSERT_EQ(buffer->getVertexType(), video::EVT_STANDARD);
      ASSERT_EQ(buffer->getIndexType(), video::EIT_16BIT);
      const auto* v = static_cast<const video::S3DVertex*>(buffer->getVertices());
      const u16* idx = buffer->getIndices();
      for (u32 i = 0; i + 2 < buffer->getIndexCount(); i += 3, ++triangles) {
        const core::vector3df a = v[idx[i]].Pos,
                              n = (v[idx[i + 1]].Pos - a).crossProduct(v[idx[i + 2]].Pos - a);
        volume += a.dotProduct(n) / 6.0;
        downward += n.Y <= 0.0f;
      }
    }
    EXPECT_GT(triangles, 0u);
    if (e.max.Y == e.min.Y)
      EXPECT_EQ(downward, 0u);  // the ground faces up
    else
      EXPECT_GT(volume, kMinVolume);
  }
}

// Every asset is in the engine's caches under its path (the tests run where no ../media is).
TEST_F(Media, EveryAssetIsInTheEnginesCaches) {
  for (const assets::MeshAsset& mesh : assets::kMeshes)
    EXPECT_NE(device_->getSceneManager()->getMesh(mesh.path), nullptr) << mesh.path;
  for (const char* texture : assets::kTextures)
    EXPECT_NE(device_->getVideoDriver()->getTexture(texture), nullptr) << texture;
}

// The font's image decodes to the engine's own pixels. Boxes are read in order from the
// space on; a character without a box maps to the space.
TEST_F(Media, FontIsABitmapFontWithEveryPrintableGlyph) {
  gui::IGUIFont* font = device_->getGUIEnvironment()->getFont(assets::kFont);
  ASSERT_NE(font, nullptr);
  ASSERT_EQ(font->getType(), gui::EGFT_BITMAP);
  auto* bitmap = static_cast<gui::IGUIFontBitmap*>(font);
  assets::Bytes bytes;
  ASSERT_TRUE(assets::readFile(kFontFile, bytes));
  assets::Image image;
  std::string why;
  ASSERT_TRUE(assets::decodeBmp(bytes.data(), bytes.size(), image, why)) << why;
  video::IImage* atlas = assets::toEngineImage(device_->getVideoDriver(), image);
  ASSERT_NE(atlas, nullptr);
  // Our decoder's pixels are the engine's own reader's.
  video::IImage* engines = device_->getVideoDriver()->createImageFromFile(kFontFile);
  ASSERT_NE(engines, nullptr);
  EXPECT_EQ(engines->getColorFormat(), atlas->getColorFormat());
  ASSERT_EQ(engines->getDimension(), atlas->getDimension());
  EXPECT_EQ(std::memcmp(engines->lock(), atlas->lock(), engines->getImageDataSizeInBytes()), 0);
  engines->drop();
  const core::array<core::rect<s32>>& boxes = bitmap->getSpriteBank()->getPositions();
  ASSERT_EQ(boxes.size(), u32(126 - 32 + 1));
  for (wchar_t c = 33; c <= 126; ++c) {
    const u32 sprite = bitmap->getSpriteNoFromChar(&c);
    ASSERT_EQ(sprite, u32(c - 32)) << char(c);
    // Every visible character leaves some opaque ink in its box.
    const core::rect<s32>& r = boxes[sprite];
    u32 ink = 0;
    for (s32 y = r.UpperLeftCorner.Y; y < r.LowerRightCorner.Y; ++y) {
      for (s32 x = r.UpperLeftCorner.X + 1; x < r.LowerRightCorner.X; ++x) {
        ink = std::max(ink, atlas->getPixel(u32(x), u32(y)).getAlpha());
      }
    }
    EXPECT_GE(ink, kMinInkAlpha) << char(c);
  }
  atlas->drop();
  const core::dimension2du status = font->getDimension(L"Gear: -2 | Speed: -33.33 km/h | FPS: 999");
  EXPECT_LE(status.Width, kStatusWidth);
  EXPECT_LE(status.Height, kStatusHeight);
  EXPECT_GE(status.Height, kMinGlyphHeight);
}

}  // namespace
