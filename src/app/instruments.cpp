#include "app/instruments.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "sim/Engine.h"

namespace instruments {
namespace {

using irr::core::rect;
using irr::video::SColor;

constexpr double kKmhPerMps = 3.6;
constexpr double kSearchStep = 0.001;  // m/s between the road speeds the model is asked at
constexpr double kSearchTop = 100.0;   // m/s, beyond any gear's reach
constexpr double kEngineRound = 10.0;  // the engine gauge's full scale is a multiple of this
constexpr double kSpeedRound = 10.0;   // km/h, and the road speed gauge's of this

const SColor kBand(170, 0, 0, 0);        // translucent black, as the banner's
const SColor kText(255, 255, 255, 255);  // white, as the banner's
const SColor kTrack(255, 70, 70, 70);    // dark grey: the bar's empty length
const SColor kFill(255, 255, 255, 255);  // white: the bar up to the value
const SColor kShift(255, 255, 214, 96);  // amber, as the panel's key names
constexpr irr::s32 kPadding = 10;        // px round the gauges on their band
constexpr irr::s32 kColumnGap = 10;      // px between a label, its bar and its value
constexpr irr::s32 kRowGap = 6;          // px between the two gauges
constexpr irr::s32 kBandStrip = 4;       // px, the shift band's strip along the bar's foot
constexpr const wchar_t* kEngineLabel = L"Engine";
constexpr const wchar_t* kSpeedLabel = L"Speed";
constexpr const wchar_t* kWidestValue = L"888 km/h";

// The highest road speed a forward gear reaches with the throttle held, m/s: the last
// speed at which the model still pulls.
double topSpeed(int gear) {
  double speed = 0.0;
  while (speed < kSearchTop && pullingForce(gear, speed + kSearchStep) > 0.0) speed += kSearchStep;
  return speed;
}

double ratio(int gear) { return engine::Engine().gearRatios.at(static_cast<std::size_t>(gear)); }

struct Scales {
  double engine = 0.0;  // engine speed
  double speed = 0.0;   // km/h
  Band bands[engine::Engine::kFourth + 1] = {};
};

const Scales& scales() {
  static const Scales s = [] {
    Scales made;
    double topEngine = 0.0, topRoad = 0.0;
    for (int gear = engine::Engine::kFirst; gear <= engine::Engine::kFourth; ++gear) {
      const double top = topSpeed(gear);
      topEngine = std::max(topEngine, ratio(gear) * top);
      topRoad = std::max(topRoad, top * kKmhPerMps);
    }
    made.engine = std::ceil(topEngine / kEngineRound) * kEngineRound;
    made.speed = std::ceil(topRoad / kSpeedRound) * kSpeedRound;
    // A shift up makes sense from the lowest speed at which the next gear pulls at least as
    // hard as this one, within this gear's reach.
    for (int gear = engine::Engine::kFirst; gear < engine::Engine::kFourth; ++gear) {
      const double top = topSpeed(gear);
      for (double v = 0.0; v <= top; v += kSearchStep)
        if (pullingForce(gear + 1, v) >= pullingForce(gear, v)) {
          made.bands[gear] = Band{ratio(gear) * v, made.engine};
          break;
        }
    }
    return made;
  }();
  return s;
}

}  // namespace

double pullingForce(int gear, double speed) {
  engine::Engine e;
  e.gear = gear;
  e.speed = speed;
  e.rpm = e.gearRatios.at(static_cast<std::size_t>(gear)) * speed;
  bool throttle = true, brake = false;
  float still = 0.0f;  // s: the step leaves the speed as it is
  e.calculateAcceleration(throttle, brake, still);
  return e.force;
}

double engineScale() { return scales().engine; }
double speedScale() { return scales().speed; }

Band shiftBand(int gear) {
  if (gear < 0 || gear > engine::Engine::kFourth) return Band{0.0, 0.0};
  return scales().bands[gear];
}

int fill(double value, double full, int width) {
  if (!(full > 0.0) || !std::isfinite(value)) return 0;
  const double share = std::min(std::fabs(value) / full, 1.0);
  return static_cast<int>(std::lround(share * width));
}

namespace {

struct Layout {
  irr::s32 label, value, line;  // px: the label and value columns' widths, a row's height
};

Layout layout(irr::gui::IGUIFont* font) {
  Layout l;
  l.label = static_cast<irr::s32>(
      std::max(font->getDimension(kEngineLabel).Width, font->getDimension(kSpeedLabel).Width));
  l.value = static_cast<irr::s32>(font->getDimension(kWidestValue).Width);
  l.line = std::max(static_cast<irr::s32>(font->getDimension(L"Ag").Height), kBarHeight);
  return l;
}

void drawGauge(irr::video::IVideoDriver* driver, irr::gui::IGUIFont* font, const Layout& l,
               irr::s32 left, irr::s32 top, const wchar_t* label, double value, double full,
               Band band, const wchar_t* valueText) {
  font->draw(label, rect<irr::s32>(left, top, left + l.label, top + l.line), kText, false, true);
  const irr::s32 barLeft = left + l.label + kColumnGap;
  const irr::s32 barTop = top + (l.line - kBarHeight) / 2;
  const irr::s32 barBottom = barTop + kBarHeight;
  const double magnitude = std::fabs(value);
  const bool inBand = !band.empty() && magnitude >= band.from;
  driver->draw2DRectangle(kTrack, rect<irr::s32>(barLeft, barTop, barLeft + kBarWidth, barBottom));
  const irr::s32 filled = fill(value, full, kBarWidth);
  if (filled > 0)
    driver->draw2DRectangle(inBand ? kShift : kFill,
                            rect<irr::s32>(barLeft, barTop, barLeft + filled, barBottom));
  if (!band.empty())
    driver->draw2DRectangle(
        kShift, rect<irr::s32>(barLeft + fill(band.from, full, kBarWidth), barBottom - kBandStrip,
                               barLeft + fill(band.to, full, kBarWidth), barBottom));
  const irr::s32 valueLeft = barLeft + kBarWidth + kColumnGap;
  font->draw(valueText, rect<irr::s32>(valueLeft, top, valueLeft + l.value, top + l.line), kText,
             false, true);
}

}  // namespace

rect<irr::s32> area(irr::core::dimension2d<irr::u32> screen, irr::gui::IGUIFont* font) {
  const Layout l = layout(font);
  const irr::s32 width = 2 * kPadding + l.label + kBarWidth + l.value + 2 * kColumnGap;
  const irr::s32 height = 2 * kPadding + 2 * l.line + kRowGap;
  const irr::s32 right = static_cast<irr::s32>(screen.Width) - kMargin;
  const irr::s32 bottom = static_cast<irr::s32>(screen.Height) - kMargin;
  return rect<irr::s32>(right - width, bottom - height, right, bottom);
}

void draw(irr::video::IVideoDriver* driver, irr::gui::IGUIFont* font,
          const engine::Engine& engine) {
  const Layout l = layout(font);
  const rect<irr::s32> box = area(driver->getScreenSize(), font);
  driver->draw2DRectangle(kBand, box);
  const irr::s32 left = box.UpperLeftCorner.X + kPadding;
  const irr::s32 top = box.UpperLeftCorner.Y + kPadding;
  wchar_t text[16];
  std::swprintf(text, sizeof text / sizeof text[0], L"%.0f", std::fabs(engine.rpm));
  drawGauge(driver, font, l, left, top, kEngineLabel, engine.rpm, engineScale(),
            shiftBand(engine.gear), text);
  std::swprintf(text, sizeof text / sizeof text[0], L"%.0f km/h",
                std::fabs(engine.speed) * kKmhPerMps);
  drawGauge(driver, font, l, left, top + l.line + kRowGap, kSpeedLabel, engine.speed * kKmhPerMps,
            speedScale(), Band{0.0, 0.0}, text);
}

}  // namespace instruments
