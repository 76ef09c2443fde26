#pragma once

#include <irrlicht.h>

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
