#pragma once

#include <irrlicht.h>

#include <csignal>
#include <cstdio>

#include "app/cues.h"
#include "app/gamepad.h"
#include "assets/settings.h"

class Tank;
namespace replay {
class Player;
class Recorder;
}  // namespace replay

// The program's globals: set once at start-up, read by the event receiver.
extern irr::IrrlichtDevice* device;
extern bool quit;  // set by Escape, tested once per frame
extern Tank* tank;
// The number of the SIGINT, SIGTERM or SIGHUP that asked the program to end; 0 before one.
extern volatile std::sig_atomic_t stopSignal;

// From now on SIGINT, SIGTERM and SIGHUP set stopSignal, and the frame loop ends as on
// Escape; a second one ends the program at once.
void catchStopSignals();

// Turns keyboard, mouse and game pad events into commands on the global tank, and the
// engine's log into lines on a stream. A held command holds while its key is down or a pad
// holds it, and lets go when both have let go.
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
  // Every held command off and every key up, as if each key had been let go; the pads let
  // go too, until their next event.
  void release();

  // The pads that the engine activated, each watched at its device node (gamepad::Pads).
  void watchPads(const irr::core::array<irr::SJoystickInfo>& pads);
  void watchPad(irr::u8 index, const char* node) { pads_.watch(index, node); }
  // Lets go what a pad that fell silent holds; once a frame, and nothing to do while no pad
  // holds anything. The time is the global device's.
  void expirePads();

  // Puts the cursor where the chase camera looks at the tank from behind and above it, and
  // turns the camera there at once, whether or not the window system reports the move.
  void placeCursor(irr::gui::ICursorControl* cursor);

  // From now on every command that reaches the tank is written to `recorder` too.
  void record(replay::Recorder* recorder) { recorder_ = recorder; }
  // A replay in the window: the player's commands no longer reach the tank, but Space
  // pauses the playback, and once the player swings the camera it is the player's.
  void replay(replay::Player* player) { player_ = player; }

  // The keys, the mouse's sensitivity and inversion, and the toggles' first states (sound
  // and instruments) from the settings; every held command lets go first.
  void configure(const assets::Settings& settings);
  const assets::Keys& keys() const { return keys_; }

  bool keysShown() const { return keysShown_; }                // F1's panel of the keys
  bool muted() const { return muted_; }                        // M's sound off
  // Whether the engine's warnings that it cannot switch to full screen reach the log; the
  // program says so in a line of its own instead (--verbose shows them).
  void logFullScreenWarnings(bool shown) { fullScreenWarnings_ = shown; }
  bool instrumentsShown() const { return instrumentsShown_; }  // H's gauges
  void mute(bool muted) { muted_ = muted; }
  // The cues that the commands since the last call raised, handed over once.
  cues::Pending takeCues() {
    const cues::Pending taken = cues_;
    cues_ = cues::Pending();
    return taken;
  }

  static constexpr int kHeldCommands = 9;   // W S A D J L I K V, by default
  static constexpr int kPressCommands = 5;  // Q E Space C R, by default

 private:
  // Whether held command `command` is held: its key down, or a pad holding it.
  bool holds(int command) const;
  void holdCommands();
  // Held command `command` on or off at the tank, and one-shot command `command` given to it.
  void hold(int command, bool on);
  void press(int command);
  void aimCamera();
  // Raises the cue of a one-shot command that left the gearbox position `gearBefore`.
  void cue(int command, int gearBefore);

  std::FILE* log_;
  assets::Keys keys_ = assets::kDefaultKeys;  // each command's key, in the settings' order
  double sensitivity_ = 1.0;                  // deg the camera turns per pixel of the cursor
  double lookSign_ = 1.0;                     // -1 with inverted look
  bool down_[irr::KEY_KEY_CODES_COUNT];       // keys down, as the engine delivered them
  bool held_[kHeldCommands];                  // each held command as the tank was last told
  gamepad::Pads pads_;
  irr::s32 cursorX_ = 0;  // px, the cursor's column as last heard
  irr::s32 cursorY_ = 0;  // px, its row
  float padYaw_ = 0.0f;   // deg the pads swung the camera round, beyond the cursor's column
  float padRise_ = 0.0f;  // deg, beyond the cursor's row, before the row's fold
  bool keysShown_ = false;
  bool muted_ = false;
  bool fullScreenWarnings_ = false;
  bool instrumentsShown_ = true;
  cues::Pending cues_;
  bool everFocused_ = false;
  bool focused_ = false;  // as attend last heard
  bool keysSinceFocusLoss_ = false;
  bool inUse_ = true;
  replay::Recorder* recorder_ = nullptr;
  replay::Player* player_ = nullptr;
};
