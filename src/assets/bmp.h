#pragma once

// The bitmap font's image: an uncompressed BMP of 24 or 32 bits a pixel, stored bottom-up,
// decoded by our own code. The engine then cuts the glyphs out of the decoded image.

#include <cstddef>
#include <string>

#include "assets/image.h"

namespace assets {

// The engine makes a glyph, with allocations of its own, of every pair of corner markers in
// the image: this many pixels hold thousands of glyphs of any readable size and keep that
// work small.
constexpr unsigned long kMaxFontPixels = 512ul * 512;  // px, width times height

// The image in `bytes` as ECF_A8R8G8B8 (a 24-bit image gets opaque alpha, a 32-bit one keeps
// its fourth byte as alpha, as the engine reads it); false with `why` set when refused.
bool decodeBmp(const unsigned char* bytes, std::size_t size, Image& out, std::string& why);

}  // namespace assets
