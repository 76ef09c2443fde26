#include "app/overlay.h"

#include <algorithm>
#include <cwchar>

namespace overlay {
namespace {

namespace command = assets::command;

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

// Each row's keys: one command's, two commands' ("A / D"), or fixed text where `first` is
// kFixed.
constexpr int kFixed = -1;
constexpr int kNone = -1;
const struct {
  int first;
  int second;
  const wchar_t* fixed;
  const wchar_t* action;
} kKeyRows[] = {
    {command::kThrottle, kNone, nullptr, L"throttle, while held"},
    {command::kBrake, kNone, nullptr, L"brake, while held"},
    {command::kSteerLeft, command::kSteerRight, nullptr, L"steer left / right, while held"},
    {command::kGearUp, command::kGearDown, nullptr, L"gear up / down"},
    {command::kTurretLeft, command::kTurretRight, nullptr,
     L"turret clockwise / anticlockwise (from above), while held"},
    {command::kGunUp, command::kGunDown, nullptr, L"gun up / down, while held"},
    {command::kFire, kNone, nullptr, L"fire: charges while held, fires on release"},
    {command::kPause, kNone, nullptr, L"pause / drive"},
    {command::kJump, kNone, nullptr, L"jump: kicks one road wheel"},
    {command::kReset, kNone, nullptr, L"back to the start, in neutral"},
    {command::kSound, kNone, nullptr, L"sound off / on (--mute starts without)"},
    {command::kInstruments, kNone, nullptr, L"show / hide the engine and road speed gauges"},
    {command::kKeysPanel, kNone, nullptr, L"show / hide this panel"},
    {kFixed, kNone, L"Escape", L"quit"},
    {kFixed, kNone, L"Mouse", L"swings the camera round the tank"},
    {kFixed, kNone, L"Game pad", L""},
    {kFixed, kNone, L"Left stick, d-pad", L"drive and steer, as throttle, brake and steer"},
    {kFixed, kNone, L"Right stick", L"swings the camera"},
    {kFixed, kNone, L"RB / LB", L"gear up / down"},
    {kFixed, kNone, L"A / X", L"jump / fire"},
    {kFixed, kNone, L"Start or B / Y", L"pause / back to the start"},
};
constexpr std::size_t kRowCount = sizeof kKeyRows / sizeof kKeyRows[0];
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

std::size_t panelRows() { return kRowCount; }

const wchar_t* panelRow(const assets::Keys& keys, std::size_t row,
                        wchar_t (&text)[kKeyTextLength]) {
  const auto& r = kKeyRows[row];
  const auto name = [&keys](int c) {
    const char* known = assets::keyName(keys[static_cast<std::size_t>(c)]);
    return known != nullptr ? known : "?";
  };
  if (r.first == kFixed)
    std::swprintf(text, kKeyTextLength, L"%ls", r.fixed);
  else if (r.second == kNone)
    std::swprintf(text, kKeyTextLength, L"%s", name(r.first));
  else
    std::swprintf(text, kKeyTextLength, L"%s / %s", name(r.first), name(r.second));
  return r.action;
}

void drawKeysPanel(irr::video::IVideoDriver* driver, irr::gui::IGUIFont* font,
                   const assets::Keys& keys) {
  wchar_t keyText[kRowCount][kKeyTextLength];
  const wchar_t* actions[kRowCount];
  irr::s32 keyWidth = 0, actionWidth = 0;
  for (std::size_t i = 0; i < kRowCount; ++i) {
    actions[i] = panelRow(keys, i, keyText[i]);
    keyWidth = std::max(keyWidth, static_cast<irr::s32>(font->getDimension(keyText[i]).Width));
    actionWidth =
        std::max(actionWidth, static_cast<irr::s32>(font->getDimension(actions[i]).Width));
  }
  const irr::s32 line = static_cast<irr::s32>(font->getDimension(L"Ag").Height) + kRowGap;
  const irr::s32 rows = static_cast<irr::s32>(kRowCount) + 1;
  const irr::s32 width = keyWidth + kColumnGap + actionWidth;
  const irr::s32 height = rows * line;
  const dimension2d<irr::u32> screen = driver->getScreenSize();
  const irr::s32 left = (static_cast<irr::s32>(screen.Width) - width) / 2;
  irr::s32 top = (static_cast<irr::s32>(screen.Height) - height) / 2;

  driver->draw2DRectangle(
      kBand, rect<irr::s32>(left - 2 * kPadding, top - 2 * kPadding, left + width + 2 * kPadding,
                            top + height + 2 * kPadding));
  font->draw(kPanelTitle, rect<irr::s32>(left, top, left + width, top + line), kKeyText);
  for (std::size_t i = 0; i < kRowCount; ++i) {
    top += line;
    font->draw(keyText[i], rect<irr::s32>(left, top, left + keyWidth, top + line), kKeyText);
    const irr::s32 actionLeft = left + keyWidth + kColumnGap;
    font->draw(actions[i], rect<irr::s32>(actionLeft, top, actionLeft + actionWidth, top + line),
               kText);
  }
}

}  // namespace overlay
