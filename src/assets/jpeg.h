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
// to 64 coefficients each; a scan of several components decodes whole MCUs over the image,
// padding included. After a restart marker with no data behind it, libjpeg decodes a whole
// MCU from zero bits that cost the file nothing, and a Huffman table can make those the
// slowest codes of all: such MCUs are charged again for their blocks, kJpegRestartCharge
// times. A file is refused as soon as a scan's header would take it past a bound, before that
// scan's data is decoded.
// The budget is what libjpeg's own progressive script costs at its dearest: for RGB, grey and
// any set of components but YCbCr it decodes every block 6 times (two DC scans, four AC
// scans), for YCbCr at most 14 times over 3 blocks; a baseline file decodes each block once.
// The most blocks a component can have within the caps is that of the size whose sides waste
// the most of their last block (kMaxJpegBlocks): 3 such components, 6 times over.
constexpr unsigned kMaxJpegScans = 32;  // scans in one image; libjpeg's own script has 10-14

// The blocks of one component of a `width` x `height` image sampled at full resolution.
constexpr unsigned long jpegBlocks(unsigned long width, unsigned long height) {
  return (width + 7) / 8 * ((height + 7) / 8);
}
// The most of them within the caps: each width with the tallest height it may have.
constexpr unsigned long mostJpegBlocks() {
  unsigned long most = 0;
  for (unsigned long width = 1; width <= kMaxJpegSide; ++width) {
    unsigned long height = kMaxJpegPixels / width;
    if (height > kMaxJpegSide) height = kMaxJpegSide;
    const unsigned long blocks = jpegBlocks(width, height);
    if (blocks > most) most = blocks;
  }
  return most;
}
constexpr unsigned long kMaxJpegBlocks = mostJpegBlocks();  // 16,644 (1817 x 577 px)
constexpr unsigned long kJpegPassesPerBlock = 6;  // libjpeg's progressive script, per block
constexpr unsigned long kMaxJpegScanBlocks = kJpegPassesPerBlock * 3 * kMaxJpegBlocks;
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
