#pragma once

#include <irrlicht.h>

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
// Every key, the mouse and the game pad with what they do, centred on the screen.
void drawKeysPanel(irr::video::IVideoDriver* driver, irr::gui::IGUIFont* font);

}  // namespace overlay
