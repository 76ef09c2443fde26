// The font's image as our decoder reads it: rows in their place for any width, and a reason
// for what it refuses.
#include "assets/bmp.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "assets/files.h"

namespace {

using assets::Bytes;
using assets::Image;

// `v` as `size` bytes at `at`, least significant first.
void put(Bytes& b, std::size_t at, std::uint32_t v, int size = 4) {
  for (int i = 0; i < size; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A bottom-up BMP whose pixel (x, y), y counted from the top, has blue x, green y, red 7
// and, at 32 bits, alpha x + y.
Bytes bmp(int width, int height, unsigned bits) {
  const std::size_t stride = (static_cast<std::size_t>(width) * bits / 8 + 3) / 4 * 4;
  Bytes b(54 + stride * static_cast<std::size_t>(height), 0);
  b[0] = 'B';
  b[1] = 'M';
  put(b, 2, static_cast<std::uint32_t>(b.size()));
  put(b, 10, 54);
  put(b, 14, 40);
  put(b, 18, static_cast<std::uint32_t>(width));
  put(b, 22, static_cast<std::uint32_t>(height));
  put(b, 26, 1, 2);
  put(b, 28, bits, 2);
  for (int y = 0; y < height; ++y) {
    unsigned char* row = b.data() + 54 + static_cast<std::size_t>(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      unsigned char* p = row + static_cast<std::size_t>(x) * bits / 8;
      p[0] = static_cast<unsigned char>(x);
      p[1] = static_cast<unsigned char>(y);
      p[2] = 7;
      if (bits == 32) p[3] = static_cast<unsigned char>(x + y);
    }
  }
  return b;
}

// Odd widths pad their rows; each row must land where it belongs, the right way up.
TEST(Bmp, RowsLandTopDownWhateverTheirPadding) {
  for (unsigned bits : {24u, 32u}) {
    for (int width : {1, 2, 3, 5}) {
      SCOPED_TRACE("bits " + std::to_string(bits) + ", width " + std::to_string(width));
      const int height = 3;
      const Bytes bytes = bmp(width, height, bits);
      Image image;
      std::string why;
      ASSERT_TRUE(assets::decodeBmp(bytes.data(), bytes.size(), image, why)) << why;
      EXPECT_EQ(image.format, irr::video::ECF_A8R8G8B8);
      Bytes expected;  // 24 bits: opaque
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
          for (int v : {x, y, 7, bits == 32 ? x + y : 255})
            expected.push_back(static_cast<unsigned char>(v));
      EXPECT_EQ(image.pixels, expected);
    }
  }
}

// The reasons the corpus replay (tests/corpus/bmp) does not show, and the bounds just past
// them; the replay adds the compressed, paletted, top-down, damaged and hostile files.
TEST(Bmp, RefusesWhatItDoesNotReadWithAReason) {
  const Bytes good = bmp(4, 4, 32);
  auto with = [&](std::size_t at, std::uint32_t value, int size = 4) {
    Bytes b = good;
    put(b, at, value, size);
    return b;
  };
  const std::pair<Bytes, std::string> refused[] = {
      {with(0, 0x4d42 + 1, 2), "not a BMP file"},
      {with(18, 0), "empty, or larger than the largest font"},
      // Each side may be long, but not the two together.
      {bmp(1, static_cast<int>(assets::kMaxFontPixels) + 1, 24),
       "empty, or larger than the largest font"},
      {Bytes(good.begin(), good.end() - 1), "pixel rows are missing"},
  };
  for (const auto& [bytes, reason] : refused) {
    Image image;
    std::string why;
    EXPECT_FALSE(assets::decodeBmp(bytes.data(), bytes.size(), image, why));
    EXPECT_EQ(why, "BMP: " + reason);
  }
}

}  // namespace
