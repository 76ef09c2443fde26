#pragma once

// The player's settings file: the mouse, the keys, the window, the sound and the instruments,
// read once at start-up and never written. It is untrusted input like the assets: read to a
// bounded size, every line checked, and a line that is not understood is named and skipped
// while the rest still counts.
//
// One setting a line, `name = value`; `#` starts a comment; blank lines are skipped:
//   sensitivity = 1        degrees the camera turns per pixel the cursor moves
//   invert-look = no       yes: the cursor's row pitches the camera the other way
//   windowed = no          yes: a 1024 x 768 window instead of the full screen
//   mute = no              yes: start without sound
//   instruments = yes      no: start with the gauges hidden
//   key.<command> = <key>  e.g. key.throttle = Up; commandName lists the commands

#include <irrlicht.h>

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace assets {

// What a key does, in the receiver's order: the commands held while their key is down,
// the tank's one-shot commands, then the program's own toggles.
namespace command {
enum Command : int {
  kThrottle,
  kBrake,
  kSteerLeft,
  kSteerRight,
  kTurretLeft,
  kTurretRight,
  kGunUp,
  kGunDown,
  kFire,
  kGearUp,
  kGearDown,
  kPause,
  kJump,
  kReset,
  kSound,
  kKeysPanel,
  kInstruments,
  kCount
};
constexpr int kHeld = kFire + 1;                  // commands 0 .. kHeld-1 are held
constexpr int kTankPresses = kReset + 1 - kHeld;  // then the tank's one-shot commands
}  // namespace command

using Keys = std::array<irr::EKEY_CODE, command::kCount>;  // a key for every command

// Today's keys: W S A D J L I K V, Q E Space C R, M F1 H.
constexpr Keys kDefaultKeys = {
    irr::KEY_KEY_W, irr::KEY_KEY_S, irr::KEY_KEY_A, irr::KEY_KEY_D, irr::KEY_KEY_J, irr::KEY_KEY_L,
    irr::KEY_KEY_I, irr::KEY_KEY_K, irr::KEY_KEY_V, irr::KEY_KEY_Q, irr::KEY_KEY_E, irr::KEY_SPACE,
    irr::KEY_KEY_C, irr::KEY_KEY_R, irr::KEY_KEY_M, irr::KEY_F1,    irr::KEY_KEY_H};

struct Settings {
  float sensitivity = 1.0f;  // deg the camera turns per pixel the cursor moves
  bool invertLook = false;   // the cursor moving down lowers the camera instead of raising it
  bool windowed = false;     // a window instead of the full screen
  bool mute = false;         // start without sound
  bool instruments = true;   // the gauges shown at start
  Keys keys = kDefaultKeys;  // no two the same, never Escape
};

constexpr float kMinSensitivity = 0.05f;          // deg per pixel
constexpr float kMaxSensitivity = 20.0f;          // deg per pixel
constexpr std::size_t kMaxSettingsBytes = 16384;  // bytes read; the rest is ignored
constexpr std::size_t kMaxSettingsLine = 200;     // bytes in a line, its newline not counted
constexpr std::size_t kMaxProblemsShown = 8;      // lines of complaint; then a count of the rest

// The name a command has after "key." in the file, e.g. "gear-up".
const char* commandName(int command);
// The name the file and the keys' panel give a key ("W", "Space", "F1", "PageUp"); null for
// a key that cannot be bound.
const char* keyName(irr::EKEY_CODE key);

// What reading gave: the settings, each line that was not taken with why, and how many more
// such lines there were beyond those kept.
struct SettingsRead {
  Settings settings;
  std::vector<std::string> problems;  // "FILE:LINE: why" or "FILE: why", at most kMaxProblemsShown
  std::size_t unshown = 0;            // problems beyond those
};

// Reads settings from the bytes of the file named `name` (only to name it in the problems).
// Only the first kMaxSettingsBytes count.
SettingsRead parseSettings(const char* name, const unsigned char* data, std::size_t size);

// The default file: $XDG_CONFIG_HOME/ferrox/settings when that variable names an absolute
// directory, else $HOME/.config/ferrox/settings; empty when neither is set.
std::string settingsPath(const char* xdgConfigHome, const char* home);

// The settings of file `path`. A missing file gives the defaults, silently unless
// `required` (the player named it); any problem is written to `err`, one line each after
// "ferrox: ".
Settings loadSettings(const std::string& path, bool required, std::FILE* err);

}  // namespace assets
