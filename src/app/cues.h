#pragma once

#include <irrlicht.h>

// What the player is told when a command does not do what it asks, or does something
// sudden: a refused shift says why, and a reset says so. Both are heard as well as seen.
namespace cues {

inline constexpr wchar_t kRollingBackwards[] = L"No shift up: rolling backwards";
inline constexpr wchar_t kRollingForwards[] = L"No shift down: rolling forwards";
inline constexpr wchar_t kTopGear[] = L"No shift up: top gear";
inline constexpr wchar_t kLowestGear[] = L"No shift down: lowest reverse";
inline constexpr wchar_t kReset[] = L"Back to the start, in neutral";

// Why a shift (up or down) that left the gearbox position (engine::Engine::gear) `before`
// at `after` was refused, or null when it was not. The gearbox refuses a shift at either
// end, and otherwise only against the direction the tank rolls in.
const wchar_t* refusal(bool up, int before, int after);

// The cues the commands of one frame raised, for the frame to show and the sound to play.
struct Pending {
  const wchar_t* refused = nullptr;  // why the last refused shift was refused; null: none
  bool reset = false;                // the tank was put back at the start
};

// A note on screen for kNoteLength after it was raised, then gone; a later one replaces it.
class Note {
 public:
  static constexpr irr::u32 kNoteLength = 2000;  // ms

  // Raised at `now`, ms of any clock that the later reads use too.
  void raise(const wchar_t* text, irr::u32 now) {
    text_ = text;
    raised_ = now;
  }
  // The note to show at `now`, or null.
  const wchar_t* text(irr::u32 now) const {
    return text_ != nullptr && now - raised_ < kNoteLength ? text_ : nullptr;
  }

 private:
  const wchar_t* text_ = nullptr;
  irr::u32 raised_ = 0;  // ms
};

}  // namespace cues
