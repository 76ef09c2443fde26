#include "BitmapFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace bitmapfont {

namespace {

// ARGB markers; neither can occur in a glyph, whose pixels are all grey.
constexpr uint32_t kUpperLeft = 0xFFFF0000u;   // opaque red
constexpr uint32_t kLowerRight = 0xFF0000FFu;  // opaque blue
constexpr uint32_t kBackground = 0x00000000u;  // transparent black
constexpr int kAtlasWidth = 256;               // pixels; the height grows to a power of two
constexpr int kShadowOffset = 1;               // pixels, down and right
constexpr double kShadowOpacity = 0.6;

struct Glyph {
  int advance = 0, left = 0, top = 0, width = 0, rows = 0;
  std::vector<uint8_t> coverage;  // rows x width
};

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

// Uncompressed 32-bit BMP, bottom-up, with the alpha byte kept (the engine reads it).
bool writeBmp(const std::string& path, int width, int height, const std::vector<uint32_t>& argb) {
  constexpr uint32_t kHeaderBytes = 14 + 40;
  constexpr int32_t kPixelsPerMetre = 2835;  // 72 dpi
  const uint32_t dataBytes = uint32_t(width) * uint32_t(height) * 4u;
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  put32(out, kHeaderBytes + dataBytes);
  put32(out, 0);
  put32(out, kHeaderBytes);
  put32(out, 40);
  put32(out, uint32_t(width));
  put32(out, uint32_t(height));
  put16(out, 1);   // planes
  put16(out, 32);  // bits per pixel
  put32(out, 0);   // no compression
  put32(out, dataBytes);
  put32(out, kPixelsPerMetre);
  put32(out, kPixelsPerMetre);
  put32(out, 0);
  put32(out, 0);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) put32(out, argb[size_t(y) * width + x]);
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && ok;
}

// White glyph over its own shadow, as non-premultiplied grey with alpha.
uint32_t compose(double glyph, double shadow) {
  const double alpha = glyph + shadow * (1.0 - glyph);
  if (alpha <= 0.0) return kBackground;
  const uint32_t a = uint32_t(std::lround(alpha * 255.0));
  const uint32_t grey = uint32_t(std::lround(glyph / alpha * 255.0));
  if (a == 0) return kBackground;
  return (a << 24) | (grey << 16) | (grey << 8) | grey;
}

}  // namespace

bool write(const std::string& fontPath, int pixelSize, const std::string& bmpPath,
           std::string* error) {
  FT_Library library;
  if (FT_Init_FreeType(&library)) {
    *error = "FreeType did not start";
    return false;
  }
  FT_Face face;
  if (FT_New_Face(library, fontPath.c_str(), 0, &face)) {
    FT_Done_FreeType(library);
    *error = fontPath + ": not a font FreeType can read";
    return false;
  }
  FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize));
  const int ascender = int((face->size->metrics.ascender + 63) >> 6);
  const int descender = int((-face->size->metrics.descender + 63) >> 6);

  std::vector<Glyph> glyphs;
  for (int c = kFirstChar; c <= kLastChar; ++c) {
    if (FT_Load_Char(face, FT_ULong(c),
                     FT_LOAD_RENDER | FT_LOAD_FORCE_AUTOHINT | FT_LOAD_TARGET_NORMAL)) {
      *error = fontPath + ": has no glyph for character " + std::to_string(c);
      FT_Done_Face(face);
      FT_Done_FreeType(library);
      return false;
    }
    const FT_GlyphSlot slot = face->glyph;
    Glyph g;
    g.advance = int((slot->advance.x + 32) >> 6);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = int(slot->bitmap.width);
    g.rows = int(slot->bitmap.rows);
    g.coverage.resize(size_t(g.width) * g.rows);
    for (int y = 0; y < g.rows; ++y) {
      for (int x = 0; x < g.width; ++x) {
        g.coverage[size_t(y) * g.width + x] = slot->bitmap.buffer[y * slot->bitmap.pitch + x];
      }
    }
    glyphs.push_back(std::move(g));
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);

  // A blank top row keeps ink off the upper-left marker; the shadow needs room below.
  const int boxHeight = 1 + ascender + descender + kShadowOffset;
  const int baseline = 1 + ascender;
  struct Box {
    int x, y, width, inkX;
  };
  std::vector<Box> boxes;
  int x = 0, y = 0;
  for (const Glyph& g : glyphs) {
    // Ink that starts left of the pen or runs past the advance widens the box; the shadow
    // does not, lest it space the text out.
    const int inkX = std::max(0, -g.left);
    const int width = std::max(g.advance, inkX + g.left + g.width);
    if (x + width >= kAtlasWidth) {  // the lower-right marker needs the column past the box
      x = 0;
      y += boxHeight + 2;  // marker row and a gap
    }
    boxes.push_back({x, y, width, inkX});
    x += width + 1;
  }
  int height = 1;
  while (height < y + boxHeight + 1) height *= 2;

  std::vector<uint32_t> pixels(size_t(kAtlasWidth) * height, kBackground);
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const Glyph& g = glyphs[i];
    const Box& b = boxes[i];
    auto coverageAt = [&](int gx, int gy) {
      if (gx < 0 || gy < 0 || gx >= g.width || gy >= g.rows) return 0.0;
      return g.coverage[size_t(gy) * g.width + gx] / 255.0;
    };
    for (int py = 0; py < boxHeight; ++py) {
      for (int px = 0; px < b.width; ++px) {
        const int gx = px - b.inkX - g.left, gy = py - (baseline - g.top);
        const double ink = coverageAt(gx, gy);
        const double shadow = kShadowOpacity * coverageAt(gx - kShadowOffset, gy - kShadowOffset);
        pixels[size_t(b.y + py) * kAtlasWidth + b.x + px] = compose(ink, shadow);
      }
    }
    pixels[size_t(b.y) * kAtlasWidth + b.x] = kUpperLeft;
    pixels[size_t(b.y + boxHeight) * kAtlasWidth + b.x + b.width] = kLowerRight;
  }
  // The legend: (0, 0) is already the space box's upper-left marker.
  pixels[1] = kLowerRight;
  pixels[2] = kBackground;
  if (boxes[0].width < 3) {
    *error = "the space box must hold the three legend pixels";
    return false;
  }
  if (!writeBmp(bmpPath, kAtlasWidth, height, pixels)) {
    *error = bmpPath + ": could not be written";
    return false;
  }
  return true;
}

}  // namespace bitmapfont
