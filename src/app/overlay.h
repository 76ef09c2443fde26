#pragma once

#include <irrlicht.h>

#include <cstddef>

#include "assets/settings.h"

// What the frame draws over the scene besides the status line, in the status line's font:
// a banner while the tank is paused, a hint while it stands in neutral, and F1's panel of
// every key. Each sits on a translucent dark band, legible over sand and sky alike.
namespace overlay {

// The status line's rectangle, top left; whatever else the frame draws keeps clear of it.
inline const irr::core::rect<irr::s32> kStatusRect(10, 10, 300, 50);  // px

constexpr const wchar_t* kPausedBanner = L"Paused - Space to drive, F1 for the keys";
constexpr const wchar_t* kNeutralHint = L"Neutral - Q shifts up, E down";

// The banner for a tank in this state, or null for none.
inline const wchar_t* banner(bool paused) { return paused ? kPausedBanner : nullptr; }
// The gear hint for the gear the status line shows, or null for none.
inline const wchar_t* gearHint(int gear) { return gear == 0 ? kNeutralHint : nullptr; }

// Centred across the screen, near its top.
void drawBanner(irr::video::IVideoDriver* driver, irr::gui::IGUIFont* font, const wchar_t* text);
// Below the status line, clear of its rectangle.
void drawHint(irr::video::IVideoDriver* driver, irr::gui::IGUIFont* font, const wchar_t* text);
// The rectangle the hint's band covers, text included.
irr::core::rect<irr::s32> hintBand(irr::gui::IGUIFont* font, const wchar_t* text);
// A cue's note, centred across the screen below the banner.
void drawNote(irr::video::IVideoDriver* driver, irr::gui::IGUIFont* font, const wchar_t* text);
// Every key as bound, the mouse and the game pad with what they do, centred on the screen.
void drawKeysPanel(irr::video::IVideoDriver* driver, irr::gui::IGUIFont* font,
                   const assets::Keys& keys);

// The panel's rows: each names its keys, as bound, and what they do.
constexpr std::size_t kKeyTextLength = 40;  // wide characters, terminator included
std::size_t panelRows();
// Row `row`'s keys in `text` ("A / D"); returns what they do.
const wchar_t* panelRow(const assets::Keys& keys, std::size_t row, wchar_t (&text)[kKeyTextLength]);

}  // namespace overlay
