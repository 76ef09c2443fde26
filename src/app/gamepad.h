#pragma once

#include <irrlicht.h>
#include <sys/types.h>

#include <string>

// Game pads: the engine's joystick events read as the tank's commands. The layout is that
// of a pad under Linux's xpad driver, in its joystick device's numbering (other pads number
// theirs alike or nearly):
//   left stick (axes 0, 1) or d-pad   drive and steer, as W S A D: forward throttle, back
//                                     brake, left and right steer
//   right stick (axes 3, 4)           swings the chase camera as the mouse would
//   A (button 0)  jump, as C           LB (4)     gear down, as E
//   B (1)         pause, as Space      RB (5)     gear up, as Q
//   X (2)         fire, held, as V     Start (7)  pause, as Space
//   Y (3)         reset, as R
// The d-pad arrives as the engine's POV where it reports one, or as buttons 11 to 14 (left,
// right, up, down) where xpad reports it so (dpad_to_buttons, and its wireless pads); as the
// hat axes 6 and 7 it lies beyond the six axes that the engine passes on.
//
// The engine posts each pad's whole state on every run, moved or not: a pad's button that
// is down now and was up in its previous event is a press. A pad stops holding anything when
// it goes silent (the engine no longer polls it) or its device node goes (unplugged: the
// engine keeps reading the dead device and posting its last state).
namespace gamepad {

// What pads hold, a bit each; the receiver joins the keyboard's holds to them.
enum Hold : unsigned {
  kThrottle = 1u << 0,
  kBrake = 1u << 1,
  kSteerLeft = 1u << 2,
  kSteerRight = 1u << 3,
  kFire = 1u << 4,
};
// What a pad presses, a bit each, once per press.
enum Press : unsigned {
  kGearUp = 1u << 0,
  kGearDown = 1u << 1,
  kPause = 1u << 2,
  kJump = 1u << 3,
  kReset = 1u << 4,
};

constexpr int kPadCount = 8;               // pads followed; the engine's later indices are ignored
constexpr float kDeadZone = 0.25f;         // of a stick's full travel, about its centre
constexpr float kSwingRate = 120.0f;       // deg/s of camera swing, the right stick pushed fully
constexpr irr::u32 kSilence = 1000;        // ms without an event after which a pad holds nothing
constexpr irr::u32 kNodeLookEvery = 1000;  // ms between looks at a pad's device node

// What one event asks for besides the holds.
struct Reading {
  unsigned presses = 0;  // Press bits
  float yaw = 0.0f;      // deg the camera swings round, as the cursor's column would
  float rise = 0.0f;     // deg, as the cursor's row would (down climbs)
};

class Pads {
 public:
  // One event, at `now` (ms of the engine's clock). While `act` is false (the window out of
  // use) the pad's state is followed but it holds, presses and swings nothing.
  Reading read(const irr::SEvent::SJoystickEvent& event, irr::u32 now, bool act);
  unsigned held() const { return held_; }  // Hold bits of every pad together
  // Lets go what a pad silent for kSilence holds; true when held() changed.
  bool lapse(irr::u32 now);
  // Every pad lets go, until its next event.
  void release();
  // The device node that the engine opened for pad `index`, looked at now and then from
  // its events on: once it has gone, or another device took its name, the pad is gone.
  void watch(irr::u8 index, const char* node);

 private:
  struct Pad {
    irr::u32 buttons = 0;  // bit per button, as last heard
    unsigned held = 0;     // Hold bits
    bool heard = false;    // an event within kSilence
    irr::u32 heardAt = 0;  // ms, the last event
    std::string node;      // the device node, empty when unknown
    dev_t nodeDevice = 0;  // the node's identity when watching began
    ino_t nodeInode = 0;
    irr::u32 lookedAt = 0;  // ms, the last look at the node
    bool gone = false;      // its node went: whatever the engine still posts is stale
  };
  static bool present(const Pad& pad);
  void gather();

  Pad pads_[kPadCount];
  unsigned held_ = 0;
};

// The device node that the engine opens for its joystick number `joystick` (SJoystickInfo's
// Joystick): the first of /dev/jsN, /dev/input/jsN and /dev/joyN that exists.
std::string deviceNode(irr::u32 joystick);

}  // namespace gamepad
