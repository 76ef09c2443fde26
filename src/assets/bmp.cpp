#include "assets/bmp.h"

#include <cstdint>
#include <cstring>

namespace assets {

namespace {

constexpr std::size_t kFileHeader = 14;    // bytes: "BM", size, reserved, pixel offset
constexpr std::uint32_t kInfoHeader = 40;  // bytes, the smallest information header
constexpr std::size_t kHeaders = kFileHeader + kInfoHeader;
constexpr std::uint32_t kUncompressed = 0;  // BI_RGB
constexpr unsigned kOpaque = 255;

unsigned u16At(const unsigned char* p) { return static_cast<unsigned>(p[0] | p[1] << 8); }

std::uint32_t u32At(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool refuse(std::string& why, const char* reason) {
  why = std::string("BMP: ") + reason;
  return false;
}

}  // namespace

bool decodeBmp(const unsigned char* bytes, std::size_t size, Image& out, std::string& why) {
  if (size < kHeaders || bytes[0] != 'B' || bytes[1] != 'M') return refuse(why, "not a BMP file");
  const std::uint32_t offset = u32At(bytes + 10);
  const std::uint32_t infoSize = u32At(bytes + 14);
  const auto width = static_cast<std::int32_t>(u32At(bytes + 18));
  const auto height = static_cast<std::int32_t>(u32At(bytes + 22));
  const unsigned planes = u16At(bytes + 26);
  const unsigned bits = u16At(bytes + 28);
  const std::uint32_t compression = u32At(bytes + 30);
  if (infoSize < kInfoHeader || planes != 1) return refuse(why, "an unsupported header");
  if (compression != kUncompressed) return refuse(why, "compressed; only plain pixels are read");
  if (bits != 24 && bits != 32) return refuse(why, "not 24 or 32 bits a pixel");
  if (height <= 0) return refuse(why, "top-down or empty; only bottom-up images are read");
  // Both sides are below 2^31 here, so their product cannot overflow.
  if (width <= 0 ||
      static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxFontPixels)
    return refuse(why, "empty, or larger than the largest font");
  if (offset < kFileHeader + infoSize || offset > size)
    return refuse(why, "the pixels' offset is inside the headers or past the end");

  const std::size_t bytesPerPixel = bits / 8;
  const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
  const std::size_t stride = (w * bytesPerPixel + 3) / 4 * 4;  // rows start on 4-byte bounds
  if (size - offset < stride * h) return refuse(why, "pixel rows are missing");

  out.format = irr::video::ECF_A8R8G8B8;
  out.width = static_cast<unsigned>(w);
  out.height = static_cast<unsigned>(h);
  out.pixels.assign(w * h * 4, 0);
  for (std::size_t y = 0; y < h; ++y) {
    const unsigned char* from = bytes + offset + (h - 1 - y) * stride;  // stored bottom-up
    unsigned char* to = out.pixels.data() + y * w * 4;
    if (bytesPerPixel == 4) {
      std::memcpy(to, from, w * 4);  // B, G, R, A: the engine's order for A8R8G8B8
      continue;
    }
    for (std::size_t x = 0; x < w; ++x, from += 3, to += 4) {
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
      to[3] = kOpaque;
    }
  }
  return true;
}

}  // namespace assets
