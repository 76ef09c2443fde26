#pragma once

#include <irrlicht.h>

#include <cstddef>
#include <string>
#include <vector>

#include "assets.h"

class Tank;

// The program's globals: set once at start-up, read by the event receiver.
extern irr::IrrlichtDevice* device;
extern bool quit;  // set by Escape, tested once per frame
extern Tank* tank;

// Turns keyboard and mouse events into commands on the global tank.
class MyEventReceiver : public irr::IEventReceiver {
 public:
  MyEventReceiver();
  bool OnEvent(const irr::SEvent& event) override;
};

constexpr std::size_t kStatusLength = 100;    // wide characters, terminator included
constexpr std::size_t kCaptionLength = 1024;  // wide characters, terminator included

// "Gear: %d | Speed: %.2f km/h | FPS: %d" with the speed given in m/s; cut to fit.
void formatStatus(wchar_t (&text)[kStatusLength], int gear, double speed, int fps);
// "Ferrox | (%s) (fps: %d)"; cut to fit.
void formatCaption(wchar_t (&text)[kCaptionLength], const wchar_t* driverName, int fps);
// Rewrites the window caption when the frame rate differs from the one shown;
// true when it did.
bool refreshCaption(irr::IrrlichtDevice* device, int fps, int& lastFPS);

// When our ../media is not there from here, moves where it is: beside the executable or
// the installed media directory (see MediaDirs.h).
void enterMediaDirectory();
