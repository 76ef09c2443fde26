#pragma once

// JPEG textures, decoded by us with libjpeg from the bytes read, within explicit bounds on
// size, memory and work whatever the file holds. The engine never sees the file.

#include <cstddef>
#include <string>

#include "assets/image.h"

namespace assets {

// The largest texture and file. The engine keeps each texture as 32-bit pixels, and the GL
// driver another copy with its mipmaps: about 12 bytes a pixel, 12 MiB for a texture of the
// largest area, for as long as the program runs. The work bounds below scale with the area.
constexpr unsigned kMaxJpegSide = 2048;                  // px, width or height
constexpr unsigned long kMaxJpegPixels = 1024ul * 1024;  // px, width times height
constexpr std::size_t kMaxJpegBytes = 8u << 20;  // bytes, twice noise of this area at best quality

// Decoding work, counted in block decodes: each scan decodes each of its 8x8 blocks once, up
// to 64 coefficients each. After a restart marker with no data behind it, libjpeg decodes a
// whole MCU from zero bits that cost the file nothing, and a Huffman table can make those the
// slowest codes of all: such MCUs are charged again for their blocks, kJpegRestartCharge
// times. A file is refused as soon as a scan's header would take it past a bound, before that
// scan's data is decoded. libjpeg's own progressive script takes 4.7 block decodes per block
// at full chroma resolution; the budget is 5 per block at the largest area, three components.
constexpr unsigned kMaxJpegScans = 32;  // scans in one image; libjpeg's own script has 10
constexpr unsigned long kMaxJpegScanBlocks = 5ul * 3 * (kMaxJpegPixels / 64);  // block decodes
constexpr unsigned long kJpegRestartCharge = 2;  // block decodes, per block of a restarted MCU

// What libjpeg may allocate, most of it the whole-image buffer of coefficients: 2 bytes
// each, 3 components at the largest area, padded to whole MCUs.
constexpr long kMaxJpegLibraryBytes = 12l << 20;  // bytes

// Decodes the JPEG `bytes` into `out`: ECF_R8G8B8, rows top to bottom, the pixels the engine's
// own loader gives for the same file. Huffman-coded baseline, extended and progressive files,
// grey or three-component colour. False, `out` empty and `why` ("JPEG: ...") when refused:
// cut, damaged, over a bound above, arithmetic-coded, CMYK or with other components.
bool decodeJpeg(const unsigned char* bytes, std::size_t size, Image& out, std::string& why);

}  // namespace assets
