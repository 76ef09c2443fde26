#pragma once

#include <irrlicht.h>

namespace engine {
class Engine;
}

// The instruments, bottom right: the engine speed against the gauge's full scale with the
// engaged gear's shift band (from where the next gear up pulls the tank harder than this
// one), and the road speed. Two bars in the status line's font, on a band like the
// banner's. Everything they show comes from the engine model itself: the full scales are
// the highest engine and road speeds any gear reaches, rounded up, and the bands are found
// by asking the model which gear pulls harder.
namespace instruments {

// Engine speeds (ratio x road speed) where shifting up makes sense in a gearbox position:
// [from, to). Empty (from == to) where no shift up gains anything: neutral, reverse, top.
struct Band {
  double from;
  double to;
  bool empty() const { return !(from < to); }
};

double engineScale();  // engine speed at the gauge's full scale
double speedScale();   // km/h at the road speed gauge's full scale
// The shift band of a gearbox position (engine::Engine::gear, 0..6), ending at full scale.
Band shiftBand(int gear);
// The net force with the throttle held of a gearbox position at a road speed, N, as the
// model gives it for a step at that speed and its engine speed.
double pullingForce(int gear, double speed);

// Pixels of a bar `width` long that a value shows against a full scale: its magnitude (a
// reversing tank reads as one driving forwards), clamped to the bar.
int fill(double value, double full, int width);

constexpr irr::s32 kBarWidth = 200;  // px
constexpr irr::s32 kBarHeight = 14;  // px
constexpr irr::s32 kMargin = 10;     // px from the screen's right and bottom edges

// The screen rectangle the instruments cover, band included, for a screen of that size.
irr::core::rect<irr::s32> area(irr::core::dimension2d<irr::u32> screen, irr::gui::IGUIFont* font);
// Draws both gauges for the engine's state.
void draw(irr::video::IVideoDriver* driver, irr::gui::IGUIFont* font, const engine::Engine& engine);

}  // namespace instruments
