#include "app/overlay.h"

#include <algorithm>

namespace overlay {
namespace {

using irr::core::dimension2d;
using irr::core::rect;
using irr::video::SColor;

const SColor kBand(170, 0, 0, 0);  // translucent black
const SColor kText(255, 255, 255, 255);
const SColor kKeyText(255, 255, 214, 96);  // amber, the key names
constexpr irr::s32 kPadding = 10;          // px round the text on its band
constexpr irr::s32 kBannerTop = 70;        // px, below the status line
constexpr irr::s32 kNoteTop = 120;         // px, below the banner
constexpr irr::s32 kHintLeft = 10;         // px, under the status line ...
constexpr irr::s32 kHintGap = 4;           // px between the status line's rectangle and the band
constexpr irr::s32 kColumnGap = 24;        // px between a key and what it does
constexpr irr::s32 kRowGap = 4;            // px between the panel's lines

const struct {
  const wchar_t* keys;
  const wchar_t* action;
} kKeyRows[] = {
    {L"W", L"throttle, while held"},
    {L"S", L"brake, while held"},
    {L"A / D", L"steer left / right, while held"},
    {L"Q / E", L"gear up / down"},
    {L"J / L", L"turret clockwise / anticlockwise (from above), while held"},
    {L"I / K", L"gun up / down, while held"},
    {L"V", L"fire: charges while held, fires on release"},
    {L"Space", L"pause / drive"},
    {L"C", L"jump: kicks one road wheel"},
    {L"R", L"back to the start, in neutral"},
    {L"M", L"sound off / on (--mute starts without)"},
    {L"H", L"show / hide the engine and road speed gauges"},
    {L"F1", L"show / hide this panel"},
    {L"Escape", L"quit"},
    {L"Mouse", L"swings the camera round the tank"},
    {L"Game pad", L""},
    {L"Left stick, d-pad", L"drive and steer, as W S A D"},
    {L"Right stick", L"swings the camera"},
    {L"RB / LB", L"gear up / down"},
    {L"A / X", L"jump / fire"},
    {L"Start or B / Y", L"pause / back to the start"},
};
constexpr const wchar_t* kPanelTitle = L"Keys";

// The band round a text whose top left corner is at (left, top).
rect<irr::s32> bandAt(irr::gui::IGUIFont* font, const wchar_t* text, irr::s32 left, irr::s32 top) {
  const dimension2d<irr::u32> size = font->getDimension(text);
  return rect<irr::s32>(left - kPadding, top - kPadding / 2,
                        left + static_cast<irr::s32>(size.Width) + kPadding,
                        top + static_cast<irr::s32>(size.Height) + kPadding / 2);
}

// The hint's text sits this far down: its band starts just below the status line's.
const irr::s32 kHintTop = kStatusRect.LowerRightCorner.Y + kHintGap + kPadding / 2;  // px

void drawOnBand(irr::video::IVideoDriver* driver, irr::gui::IGUIFont* font, const wchar_t* text,
                irr::s32 left, irr::s32 top) {
  const rect<irr::s32> band = bandAt(font, text, left, top);
  driver->draw2DRectangle(kBand, band);
  font->draw(text, rect<irr::s32>(left, top, band.LowerRightCorner.X, band.LowerRightCorner.Y),
             kText);
}

}  // namespace

void drawBanner(irr::video::IVideoDriver* driver, irr::gui::IGUIFont* font, const wchar_t* text) {
  const irr::s32 width = static_cast<irr::s32>(font->getDimension(text).Width);
  const irr::s32 screen = static_cast<irr::s32>(driver->getScreenSize().Width);
  drawOnBand(driver, font, text, (screen - width) / 2, kBannerTop);
}

void drawHint(irr::video::IVideoDriver* driver, irr::gui::IGUIFont* font, const wchar_t* text) {
  drawOnBand(driver, font, text, kHintLeft, kHintTop);
}

rect<irr::s32> hintBand(irr::gui::IGUIFont* font, const wchar_t* text) {
  return bandAt(font, text, kHintLeft, kHintTop);
}

void drawNote(irr::video::IVideoDriver* driver, irr::gui::IGUIFont* font, const wchar_t* text) {
  const irr::s32 width = static_cast<irr::s32>(font->getDimension(text).Width);
  const irr::s32 screen = static_cast<irr::s32>(driver->getScreenSize().Width);
  drawOnBand(driver, font, text, (screen - width) / 2, kNoteTop);
}

void drawKeysPanel(irr::video::IVideoDriver* driver, irr::gui::IGUIFont* font) {
  irr::s32 keyWidth = 0, actionWidth = 0;
  for (const auto& row : kKeyRows) {
    keyWidth = std::max(keyWidth, static_cast<irr::s32>(font->getDimension(row.keys).Width));
    actionWidth =
        std::max(actionWidth, static_cast<irr::s32>(font->getDimension(row.action).Width));
  }
  const irr::s32 line = static_cast<irr::s32>(font->getDimension(L"Ag").Height) + kRowGap;
  const irr::s32 rows = static_cast<irr::s32>(sizeof kKeyRows / sizeof kKeyRows[0]) + 1;
  const irr::s32 width = keyWidth + kColumnGap + actionWidth;
  const irr::s32 height = rows * line;
  const dimension2d<irr::u32> screen = driver->getScreenSize();
  const irr::s32 left = (static_cast<irr::s32>(screen.Width) - width) / 2;
  irr::s32 top = (static_cast<irr::s32>(screen.Height) - height) / 2;

  driver->draw2DRectangle(
      kBand, rect<irr::s32>(left - 2 * kPadding, top - 2 * kPadding, left + width + 2 * kPadding,
                            top + height + 2 * kPadding));
  font->draw(kPanelTitle, rect<irr::s32>(left, top, left + width, top + line), kKeyText);
  for (const auto& row : kKeyRows) {
    top += line;
    font->draw(row.keys, rect<irr::s32>(left, top, left + keyWidth, top + line), kKeyText);
    const irr::s32 actionLeft = left + keyWidth + kColumnGap;
    font->draw(row.action, rect<irr::s32>(actionLeft, top, actionLeft + actionWidth, top + line),
               kText);
  }
}

}  // namespace overlay
