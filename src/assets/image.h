#pragma once

// A decoded picture, as our own decoders hand it on: the engine turns it into a texture or
// a font without ever seeing the file it came from.

#include <irrlicht.h>

#include <cstddef>
#include <vector>

namespace assets {

struct Image {
  irr::video::ECOLOR_FORMAT format = irr::video::ECF_R8G8B8;  // ECF_R8G8B8 or ECF_A8R8G8B8
  unsigned width = 0;                                         // px
  unsigned height = 0;                                        // px
  std::vector<unsigned char> pixels;  // rows top to bottom, tightly packed, the engine's byte order
};

// The engine's copy of `image`, owned by the caller (drop it); null for an empty image.
inline irr::video::IImage* toEngineImage(irr::video::IVideoDriver* driver, const Image& image) {
  if (image.width == 0 || image.height == 0 || image.pixels.empty()) return nullptr;
  return driver->createImageFromData(image.format,
                                     irr::core::dimension2d<irr::u32>(image.width, image.height),
                                     const_cast<unsigned char*>(image.pixels.data()), false, false);
}

}  // namespace assets
