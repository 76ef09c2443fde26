// The engine's bitmap-font image: glyph boxes in rows, each box marked by a pixel of the
// upper-left colour at its first pixel and one of the lower-right colour just past its last;
// pixel (0, 0) holds the upper-left colour, (1, 0) the lower-right, (2, 0) the background.
// Boxes follow each other from the space character on, one per character code.
#pragma once

#include <string>

namespace bitmapfont {

constexpr int kFirstChar = 32;  // space
constexpr int kLastChar = 126;  // tilde

// Rasterises the printable ASCII characters of the TrueType font at `pixelSize` with
// FreeType, white and anti-aliased with a soft dark shadow, into a 32-bit BMP whose alpha
// channel carries the coverage. Returns false with a reason in `error`.
bool write(const std::string& fontPath, int pixelSize, const std::string& bmpPath,
           std::string* error);

}  // namespace bitmapfont
