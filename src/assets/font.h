#pragma once

// Handing a decoded font image to the engine, which cuts its glyphs and draws text with it.

#include <irrlicht.h>

#include "assets/image.h"

namespace assets {

// Makes the engine's font `name` from `image`, so that getFont(name) finds it in the GUI's
// cache. The engine builds fonts only from files, so it is given a file of one zero byte under
// that name (which its font parser reads as no text and leaves alone), and an image loader of
// ours that answers for that name with `image`: neither the font file's bytes nor the engine's
// BMP reader take part. Null when the engine finds no glyphs in the image.
irr::gui::IGUIFont* installFont(irr::IrrlichtDevice* device, const char* name, const Image& image);

}  // namespace assets
