#include "app/sound_synth.h"

#include <algorithm>
#include <cmath>

namespace sound {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPeak = 0.9;  // of full scale, the loudest sample of each sound

// A small generator of its own, so that the sounds are the same bytes on every system.
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed) {}
  double next() {  // uniform in [-1, 1)
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_ / 2147483648.0 - 1.0;
  }

 private:
  std::uint32_t state_;
};

// A one-pole low-pass filter.
class LowPass {
 public:
  explicit LowPass(double cornerHz) : k_(1.0 - std::exp(-kTwoPi * cornerHz / kSampleRate)) {}
  double operator()(double x) { return y_ += k_ * (x - y_); }

 private:
  double k_;
  double y_ = 0.0;
};

// The wave scaled so that its loudest sample is `loudest` of full scale.
std::vector<std::int16_t> toSamples(const std::vector<double>& wave, double loudest = kPeak) {
  double peak = 0.0;
  for (double x : wave) peak = std::max(peak, std::fabs(x));
  const double scale = peak > 0.0 ? loudest * 32767.0 / peak : 0.0;
  std::vector<std::int16_t> samples(wave.size());
  for (std::size_t i = 0; i < wave.size(); ++i)
    samples[i] = static_cast<std::int16_t>(std::lround(wave[i] * scale));
  return samples;
}

}  // namespace

std::vector<std::int16_t> engineNote() {
  constexpr int kHarmonics = 12;
  constexpr double kTilt = 0.8;    // harmonic h at 1 / h^kTilt: a buzz, darker than a sawtooth
  constexpr double kWaver = 0.15;  // how far a cycle's strength strays from the mean
  const int cycles = static_cast<int>(kNoteHz);  // in the second: a whole number
  double phase[kHarmonics + 1], amplitude[kHarmonics + 1];
  Noise noise(0x5eed1u);
  for (int h = 1; h <= kHarmonics; ++h) {
    phase[h] = kTwoPi * noise.next();
    amplitude[h] = 1.0 / std::pow(h, kTilt);
  }
  // Each cycle's strength, eased from one to the next; the last eases into the first.
  std::vector<double> strength(cycles);
  for (double& s : strength) s = 1.0 + kWaver * noise.next();
  std::vector<double> wave(kSampleRate);
  for (int i = 0; i < kSampleRate; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;  // s
    const double cycle = t * kNoteHz;
    const int c = static_cast<int>(cycle);
    const double ease = 0.5 - 0.5 * std::cos(kTwoPi / 2 * (cycle - c));
    const double gain = strength[c % cycles] * (1 - ease) + strength[(c + 1) % cycles] * ease;
    double x = 0.0;
    for (int h = 1; h <= kHarmonics; ++h)
      x += amplitude[h] * std::sin(kTwoPi * h * kNoteHz * t + phase[h]);
    wave[i] = gain * x;
  }
  return toSamples(wave);
}

std::vector<std::int16_t> trackRumble() {
  constexpr double kRoadHz = 90.0;    // Hz, the road noise's corner
  constexpr int kLinks = 20;          // links passing in the second
  constexpr double kClatter = 0.004;  // s, how fast a link's knock dies away
  constexpr double kKnock = 1.6;      // a knock's strength against the road noise
  std::vector<double> wave(kSampleRate);
  // The filters run through the noise twice, and the second pass is kept: it starts from
  // the state in which the loop ends, so the seam is as smooth as the rest.
  Noise noise(0x7a11u);
  std::vector<double> white(kSampleRate);
  for (double& w : white) w = noise.next();
  LowPass first(kRoadHz), second(kRoadHz);
  for (int pass = 0; pass < 2; ++pass)
    for (int i = 0; i < kSampleRate; ++i) wave[i] = second(first(white[i]));
  double road = 0.0;
  for (double x : wave) road = std::max(road, std::fabs(x));
  const int length = static_cast<int>(kClatter * kSampleRate * 5);  // samples, to 1 %
  for (int link = 0; link < kLinks; ++link) {
    const int start = (2 * link + 1) * kSampleRate / (2 * kLinks);  // none at the seam
    LowPass body(1500.0);
    for (int i = 0; i < length; ++i) {
      const double decay = std::exp(-static_cast<double>(i) / (kClatter * kSampleRate));
      wave[(start + i) % kSampleRate] += kKnock * road * decay * body(noise.next());
    }
  }
  return toSamples(wave);
}

std::vector<std::int16_t> gearClunk() {
  constexpr double kLength = 0.25;                     // s
  constexpr double kThumpHz = 55.0;                    // Hz
  constexpr double kThumpDecay = 0.08;                 // s
  constexpr double kRingDecay = 0.03;                  // s
  constexpr double kRing[] = {620.0, 1130.0, 1870.0};  // Hz, the gear's steel, not harmonic
  constexpr double kClick = 0.005;                     // s, the teeth meeting
  const int count = static_cast<int>(kLength * kSampleRate);
  std::vector<double> wave(count);
  Noise noise(0xc1u);
  for (int i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;  // s
    double ring = 0.0;
    for (double hz : kRing) ring += std::sin(kTwoPi * hz * t);
    wave[i] = std::sin(kTwoPi * kThumpHz * t) * std::exp(-t / kThumpDecay) +
              0.25 * ring * std::exp(-t / kRingDecay) + 0.6 * noise.next() * std::exp(-t / kClick);
  }
  // The tail fades to nothing, so that the source ends without a click.
  const int fade = count / 10;
  for (int i = 0; i < fade; ++i) wave[count - 1 - i] *= static_cast<double>(i) / fade;
  return toSamples(wave);
}

std::vector<std::int16_t> refusedShift() {
  constexpr double kBurst = 0.07;    // s, each rasp
  constexpr double kGap = 0.05;      // s between them
  constexpr double kBuzzHz = 150.0;  // Hz, the rasp's saw
  constexpr double kClashHz = 35.0;  // Hz, teeth striking teeth
  constexpr double kEdge = 0.004;    // s, each rasp's rise and fall
  constexpr double kLoudest = 0.6;   // of full scale
  const int burst = static_cast<int>(kBurst * kSampleRate);
  const int gap = static_cast<int>(kGap * kSampleRate);
  const int edge = static_cast<int>(kEdge * kSampleRate);
  std::vector<double> wave(static_cast<std::size_t>(2 * burst + gap), 0.0);
  Noise noise(0x9e41u);
  LowPass grit(2500.0);
  for (int b = 0; b < 2; ++b)
    for (int i = 0; i < burst; ++i) {
      const double t = static_cast<double>(i) / kSampleRate;  // s
      const double saw = 2.0 * std::fmod(t * kBuzzHz, 1.0) - 1.0;
      const double clash = 0.6 + 0.4 * std::sin(kTwoPi * kClashHz * t);
      const double envelope =
          std::min({1.0, static_cast<double>(i) / edge, static_cast<double>(burst - 1 - i) / edge});
      wave[static_cast<std::size_t>(b * (burst + gap) + i)] =
          envelope * clash * (0.7 * saw + 0.5 * grit(noise.next()));
    }
  return toSamples(wave, kLoudest);
}

std::vector<std::int16_t> resetChime() {
  constexpr double kTone = 0.14;                // s, each tone
  constexpr double kTones[] = {880.0, 587.33};  // Hz, falling a fifth
  constexpr double kDecay = 0.05;               // s
  constexpr double kEdge = 0.003;               // s, each tone's rise
  constexpr double kLoudest = 0.6;              // of full scale
  const int tone = static_cast<int>(kTone * kSampleRate);
  std::vector<double> wave(static_cast<std::size_t>(2 * tone), 0.0);
  for (int k = 0; k < 2; ++k)
    for (int i = 0; i < tone; ++i) {
      const double t = static_cast<double>(i) / kSampleRate;  // s
      const double rise = std::min(1.0, t / kEdge);
      const double fall = std::min(1.0, static_cast<double>(tone - 1 - i) / (kEdge * kSampleRate));
      wave[static_cast<std::size_t>(k * tone + i)] =
          rise * fall * std::exp(-t / kDecay) * std::sin(kTwoPi * kTones[k] * t);
    }
  return toSamples(wave, kLoudest);
}

}  // namespace sound
