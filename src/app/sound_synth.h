#pragma once

#include <cstdint>
#include <vector>

// The game's sounds, synthesized by our own code as 16-bit mono samples: no sound file is
// shipped or read. The two loops repeat seamlessly: each holds a whole number of every
// period in it.
namespace sound {

constexpr int kSampleRate = 22050;  // samples per second of every sound
constexpr double kNoteHz = 80.0;    // Hz, the engine note's fundamental at rate 1

// One second of the engine's note: a buzz of harmonics over kNoteHz whose strength wavers
// from one firing cycle to the next.
std::vector<std::int16_t> engineNote();
// One second of the tracks' rumble: low road noise and the clatter of the links, as at a
// steady crawl.
std::vector<std::int16_t> trackRumble();
// A gear engaging: a low thump and a short metallic knock, once.
std::vector<std::int16_t> gearClunk();
// A shift the gearbox refused: two short rasps of teeth that do not mesh, higher and
// harsher than the clunk, and quieter.
std::vector<std::int16_t> refusedShift();
// The tank put back at the start: two soft falling tones, unlike anything the tank makes.
std::vector<std::int16_t> resetChime();

}  // namespace sound
