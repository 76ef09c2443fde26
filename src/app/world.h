#pragma once

#include <irrlicht.h>

#include <cstddef>

#include "app/cues.h"
#include "assets/settings.h"

class MyEventReceiver;
class Sound;
class Tank;
namespace replay {
class Player;
class Recorder;
}  // namespace replay

// The tank on a root node of its own at the origin, stored in the global `tank` (from then
// on the receiver drives it), then the world around it: the ground, the sky box and the row
// of cubes. The scene manager owns every node; the tank lives until the process ends.
Tank* buildScene(irr::IrrlichtDevice* device);

constexpr std::size_t kStatusLength = 100;    // wide characters, terminator included
constexpr std::size_t kCaptionLength = 1024;  // wide characters, terminator included

// "Gear: %d | Speed: %.2f km/h | FPS: %d" with the speed given in m/s; cut to fit.
void formatStatus(wchar_t (&text)[kStatusLength], int gear, double speed, int fps);
// "Ferrox | (%s) (fps: %d)"; cut to fit.
void formatCaption(wchar_t (&text)[kCaptionLength], const wchar_t* driverName, int fps);

// The frame loop's state from one pass to the next, and the parts of a pass.
class Frame {
 public:
  // With a null font the status line is not drawn.
  Frame(irr::IrrlichtDevice* device, irr::gui::IGUIFont* font);

  // Clears, draws the scene (which refreshes the nodes' world positions) and the status
  // line: the tank's gear and speed, and the rate read at the end of the previous pass;
  // over them the instruments while they are shown, the hint in neutral, a cue's note for a
  // while, the banner while the tank is paused and the keys' panel while it is shown.
  void draw(const Tank& tank);
  // Takes the rate measured after drawing and rewrites the caption when it changed;
  // true when it did.
  bool measure(int rate);
  // measure, then one step of 1/rate seconds; none while the rate is 0. Recording, the
  // frame's end reaches the recorder; replaying, the recorded frames that the time since the
  // last pass holds play instead.
  void advance(Tank& tank, int rate);
  // One whole pass: draw, then advance by the driver's rate.
  void pass(Tank& tank);
  // Passes start again after a wait in which nothing was drawn. The engine's rate averages
  // the frames of one counting window, and the window that spans the wait counts it as a
  // few slow frames; the rate measured before the wait stands in until the counter has
  // measured a whole window of drawing, or the tank would run many times too fast.
  void resume();

  void showKeys(bool shown) { keysShown_ = shown; }
  // The keys that the keys' panel names; the defaults until bound. `keys` outlives the frame.
  void bindKeys(const assets::Keys& keys) { keys_ = &keys; }
  void showInstruments(bool shown) { instrumentsShown_ = shown; }
  // The notes of a frame's cues, each shown from now for cues::Note::kNoteLength.
  void cue(const cues::Pending& pending);
  void record(replay::Recorder* recorder) { recorder_ = recorder; }
  void replay(replay::Player* player) { player_ = player; }

  int captionFPS() const { return lastFPS_; }  // -1 before the first caption
  const wchar_t* status() const { return status_; }
  // What the last draw put over the scene: null for none.
  const wchar_t* banner() const { return banner_; }
  const wchar_t* hint() const { return hint_; }
  const wchar_t* note() const { return noteShown_; }

 private:
  irr::IrrlichtDevice* device_;
  irr::video::IVideoDriver* driver_;
  irr::scene::ISceneManager* smgr_;
  irr::gui::IGUIFont* font_;
  int fps_ = 0;
  int lastFPS_ = -1;
  wchar_t status_[kStatusLength] = {};
  const wchar_t* banner_ = nullptr;
  const wchar_t* hint_ = nullptr;
  const wchar_t* noteShown_ = nullptr;
  cues::Note note_;
  bool keysShown_ = false;
  const assets::Keys* keys_ = &assets::kDefaultKeys;
  bool instrumentsShown_ = true;
  bool resumed_ = false;
  irr::u32 resumedAt_ = 0;  // ms of the engine's real-time clock
  replay::Recorder* recorder_ = nullptr;
  replay::Player* player_ = nullptr;
  irr::u32 playedAt_ = 0;  // ms of the engine's real-time clock at the last replayed pass
};

// Passes until the device stops running (the window closed), `quit` is set, a stop signal
// arrives or the window is destroyed from outside; the pass in which Escape arrived is
// still drawn and stepped. While the window is out of use (minimized, or another window has
// the focus) the loop only waits for events: nothing is drawn, the tank stands still and
// nothing is heard. In use, each pass first lets go what a game pad that fell silent held,
// and ends with the sound of the tank as the pass left it.
void runFrameLoop(irr::IrrlichtDevice* device, Frame& frame, Tank& tank, MyEventReceiver& receiver,
                  Sound& sound);
