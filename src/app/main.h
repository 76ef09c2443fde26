#pragma once

#include <irrlicht.h>

#include <csignal>
#include <cstdio>

class Tank;

// The program's globals: set once at start-up, read by the event receiver.
extern irr::IrrlichtDevice* device;
extern bool quit;  // set by Escape, tested once per frame
extern Tank* tank;
// The number of the SIGINT, SIGTERM or SIGHUP that asked the program to end; 0 before one.
extern volatile std::sig_atomic_t stopSignal;

// From now on SIGINT, SIGTERM and SIGHUP set stopSignal, and the frame loop ends as on
// Escape; a second one ends the program at once.
void catchStopSignals();

// Turns keyboard and mouse events into commands on the global tank, and the engine's log
// into lines on a stream.
class MyEventReceiver : public irr::IEventReceiver {
 public:
  // The engine's log goes to `log`, each message on a line of its own after "ferrox: ".
  explicit MyEventReceiver(std::FILE* log = stderr);
  bool OnEvent(const irr::SEvent& event) override;

  // Follows the window: true while it is in use, that is not minimized and, where a window
  // manager hands the focus round, focused. Without one the window never hears that it has
  // the focus though the keys reach it, so it counts as focused until it first hears so;
  // and a key that arrives after the focus went shows the keyboard is still the window's
  // (a full-screen window holds it grabbed). When the window stops being in use every held
  // command is released, as its key-ups go to another window.
  bool attend(bool focused, bool minimized);
  // Every held command off and every key up, as if each key had been let go.
  void release();

  // Puts the cursor where the chase camera looks at the tank from behind and above it, and
  // turns the camera there at once, whether or not the window system reports the move.
  void placeCursor(irr::gui::ICursorControl* cursor);

  bool keysShown() const { return keysShown_; }  // F1's panel of the keys
  bool muted() const { return muted_; }          // M's sound off
  void mute(bool muted) { muted_ = muted; }

 private:
  std::FILE* log_;
  bool down_[irr::KEY_KEY_CODES_COUNT];  // keys down, as the engine delivered them
  bool keysShown_ = false;
  bool muted_ = false;
  bool everFocused_ = false;
  bool focused_ = false;  // as attend last heard
  bool keysSinceFocusLoss_ = false;
  bool inUse_ = true;
};
