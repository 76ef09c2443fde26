// The font as the program hands it to the engine: it carries the status line. The shipped
// meshes' shapes and facing are checked with our 3DS decoder (mesh3ds_test), the font's
// pixels with our BMP decoder (bmp_test).
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <string>
#include <vector>

#include "assets/library.h"
#include "support.h"

using namespace irr;

namespace {

constexpr u32 kStatusWidth = 290;    // px
constexpr u32 kStatusHeight = 40;    // px
constexpr u32 kMinGlyphHeight = 14;  // px, readable at 1024 x 768
constexpr u32 kMinInkAlpha = 128;    // of 255, the densest pixel of a visible glyph

// Boxes are read in order from the space on; a character without a box maps to the space.
TEST(Media, FontIsABitmapFontWithEveryPrintableGlyph) {
  IrrlichtDevice* device = support::createNullDevice();
  const std::vector<std::string> problems = assets::installAll(device, FERROX_SOURCE_DIR "/bin");
  ASSERT_TRUE(problems.empty()) << problems.front();
  gui::IGUIFont* font = device->getGUIEnvironment()->getFont(assets::kFont);
  ASSERT_NE(font, nullptr);
  ASSERT_EQ(font->getType(), gui::EGFT_BITMAP);
  video::IImage* atlas =
      device->getVideoDriver()->createImageFromFile(FERROX_SOURCE_DIR "/media/fontkorvenblatt.bmp");
  ASSERT_NE(atlas, nullptr);
  auto* bitmap = static_cast<gui::IGUIFontBitmap*>(font);
  const core::array<core::rect<s32>>& boxes = bitmap->getSpriteBank()->getPositions();
  ASSERT_EQ(boxes.size(), u32(126 - 32 + 1));
  for (wchar_t c = 33; c <= 126; ++c) {
    const u32 sprite = bitmap->getSpriteNoFromChar(&c);
    ASSERT_EQ(sprite, u32(c - 32)) << char(c);
    // Every visible character leaves some opaque ink in its box.
    const core::rect<s32>& r = boxes[sprite];
    u32 ink = 0;
    for (s32 y = r.UpperLeftCorner.Y; y < r.LowerRightCorner.Y; ++y)
      for (s32 x = r.UpperLeftCorner.X + 1; x < r.LowerRightCorner.X; ++x)
        ink = std::max(ink, atlas->getPixel(u32(x), u32(y)).getAlpha());
    EXPECT_GE(ink, kMinInkAlpha) << char(c);
  }
  atlas->drop();
  const core::dimension2du status = font->getDimension(L"Gear: -2 | Speed: -33.33 km/h | FPS: 999");
  EXPECT_LE(status.Width, kStatusWidth);
  EXPECT_LE(status.Height, kStatusHeight);
  EXPECT_GE(status.Height, kMinGlyphHeight);
  device->drop();
}

}  // namespace
