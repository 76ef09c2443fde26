#include "app/cues.h"

#include "sim/Engine.h"

namespace cues {

const wchar_t* refusal(bool up, int before, int after) {
  if (after != before) return nullptr;
  if (up) return before >= engine::Engine::kFourth ? kTopGear : kRollingBackwards;
  return before <= engine::Engine::kSecondReverse ? kLowestGear : kRollingForwards;
}

}  // namespace cues
