// Listens to what the program played into OpenAL Soft's wave writer, 16-bit samples:
//   listen <file.wav>   the muted run, M pressed for a while: so much sound in all
//   listen <file.wav> <shift> <release> <pause>
//       the drive that e2e.sh plays, in seconds from Space and W, which start the tank in
//       first gear: Q at <shift>, W up at <release>, Space at <pause>. Silent before the
//       start and after the pause; the note rises while first gear pulls and drops at the
//       shift, which clunks; louder with the throttle than coasting
//   listen <file.wav> cues <refused> <reset> <turn> <turned> <starts> <stops>
//       the cues' run: Space starts it in first gear, E E put it in first reverse and W
//       drives it backwards until <refused>, when Q is refused; R at <reset>; A held from
//       <turn> to <turned> turns it on the spot; then the sound stops and starts again
//       (mute, pause, the window out of use, the end). The refusal, the reset and the turn
//       are heard; every start and stop of sound (at least <starts> and <stops> of them)
//       fades: no step between neighbouring samples there is larger than the largest while
//       driving backwards, and the file ends in silence
// Prints each measure against its bounds. Exit code 0 when all hold, 1 when one fails, 2 when
// the file cannot be read.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr double kSilent = 1e-4;      // of full scale: anything louder is sound
constexpr double kWindow = 0.06;      // s of sound each pitch estimate correlates
constexpr double kHop = 0.025;        // s between pitch estimates
constexpr double kLowestHz = 30.0;    // Hz, the pitch search's range
constexpr double kHighestHz = 300.0;  // Hz
constexpr double kOctave = 0.9;  // a lag within this share of the best correlation is the period
constexpr double kAny = HUGE_VAL;

struct Sound {
  double rate = 0.0;               // samples per second
  std::vector<double> samples;     // the first channel, full scale 1
  double first = 0.0, last = 0.0;  // s: the first and last sample louder than silence

  std::size_t at(double s) const {  // the sample at s seconds, within the file
    return std::min(samples.size(), static_cast<std::size_t>(std::max(0.0, s) * rate));
  }
  double peak(double from, double to) const {  // of full scale, over [from, to) s
    double most = 0.0;
    for (std::size_t i = at(from); i < at(to); ++i) most = std::max(most, std::fabs(samples[i]));
    return most;
  }
  double db(double from, double to) const {  // loudness over [from, to) s, dB of full scale
    double energy = 1e-20;
    for (std::size_t i = at(from); i < at(to); ++i) energy += samples[i] * samples[i];
    return 10.0 *
           std::log10(energy / static_cast<double>(std::max<std::size_t>(at(to) - at(from), 1)));
  }
  // The fundamental over [from, to) s, Hz: the median of estimates over short windows, each
  // by autocorrelation; not a number when none is found.
  double hz(double from, double to) const {
    const std::size_t lo = at(1 / kHighestHz), hi = at(1 / kLowestHz), n = at(kWindow);
    std::vector<double> found;
    for (std::size_t w = at(from); w + n + hi + 1 <= at(to); w += at(kHop)) {
      std::vector<double> r(hi + 2, 0.0);
      for (std::size_t lag = lo; lag <= hi + 1; ++lag)
        for (std::size_t i = w; i < w + n; ++i) r[lag] += samples[i] * samples[i + lag];
      const double best = *std::max_element(r.begin() + lo, r.end());
      // The shortest lag that correlates nearly as well as the best, so that a multiple of
      // the period is not taken for it.
      for (std::size_t lag = lo + 1; lag <= hi && best > 0.0; ++lag)
        if (r[lag] >= kOctave * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
          found.push_back(rate / static_cast<double>(lag));
          break;
        }
    }
    if (found.empty()) return std::nan("");
    std::nth_element(found.begin(), found.begin() + found.size() / 2, found.end());
    return found[found.size() / 2];
  }
  // The loudness of the steps between neighbours over [from, to) s, dB of full scale: it
  // hears the high and harsh, a rasp, a chime or the tracks' clatter, over the low note.
  double roughDb(double from, double to) const {
    double energy = 1e-20;
    for (std::size_t i = std::max<std::size_t>(at(from), 1); i < at(to); ++i)
      energy += std::pow(samples[i] - samples[i - 1], 2.0);
    return 10.0 *
           std::log10(energy / static_cast<double>(std::max<std::size_t>(at(to) - at(from), 1)));
  }
  // The largest step between neighbours over [from, to) s, of full scale.
  double largestStep(double from, double to) const {
    double most = 0.0;
    for (std::size_t i = std::max<std::size_t>(at(from), 1); i < at(to); ++i)
      most = std::max(most, std::fabs(samples[i] - samples[i - 1]));
    return most;
  }
};

// The samples of the data chunk, which run to the end of the file: the writer fills in the
// chunk's size only when it closes.
bool read(const char* path, Sound& s) {
  std::ifstream in(path, std::ios::binary);
  const std::string f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto le = [&f](std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(f[at + i]);
    return v;
  };
  const std::size_t data = f.find("data", 36);  // the format chunk holds no such bytes
  if (data == std::string::npos || f.compare(0, 4, "RIFF") != 0 ||
      f.compare(8, 8, "WAVEfmt ") != 0 || le(34, 2) != 16)
    return false;
  const std::size_t frame = 2 * le(22, 2);  // bytes
  s.rate = le(24, 4);
  for (std::size_t at = data + 8; frame > 0 && at + frame <= f.size(); at += frame)
    s.samples.push_back(static_cast<std::int16_t>(le(at, 2)) / 32768.0);
  for (std::size_t i = 0; i < s.samples.size(); ++i)
    if (std::fabs(s.samples[i]) > kSilent) {
      if (s.last == 0.0) s.first = i / s.rate;
      s.last = (i + 1) / s.rate;
    }
  return s.rate > 0.0 && !s.samples.empty();
}

struct Check {
  const char* what;
  double value, least, most;
};

std::vector<Check> drive(const Sound& s, double shift, double release, double pause) {
  constexpr double kLead = 1.0;        // s of silence at least before the start: paused
  constexpr double kMargin = 0.25;     // s kept clear of each event: the key's way to the sound
  constexpr double kRise = 1.3;        // first gear pulling: the pitch rises at least so much
  constexpr double kDrop = 0.85;       // a shift up lowers the pitch to at most so much
  constexpr double kClunk = 1.3;       // the clunk's peak over the pulling note's, at least
  constexpr double kLate = 0.5;        // s the pause may take to silence a loaded machine's frame
  constexpr double kThrottleDb = 3.0;  // dB louder with the throttle
  const double t = s.first;            // s into the file: Space and W
  const auto hz = [&](double at) { return s.hz(t + at - kMargin, t + at + kMargin); };
  const double early = hz(2 * kMargin), before = hz(shift - 2 * kMargin),
               after = hz(shift + 2 * kMargin);
  std::printf("Hz: %.1f early in first gear, %.1f before the shift, %.1f after\n", early, before,
              after);
  return {
      {"s of silence before the start", t, kLead, kAny},
      // The file runs on well past pause + kLate: silent by then, or this fails.
      {"s of sound, from the start to the pause", s.last - t, pause - kLate, pause + kLate},
      {"times the pitch rises as first gear pulls", before / early, kRise, kAny},
      {"times the pitch at the shift up", after / before, 0.0, kDrop},
      {"times the pull's peak at the shift: its clunk",
       s.peak(t + shift - kMargin, t + shift + 2 * kMargin) /
           s.peak(t + shift - 4 * kMargin, t + shift - kMargin),
       kClunk, kAny},
      {"dB louder pulling than coasting",
       s.db(t + shift + kMargin, t + release - kMargin / 2) -
           s.db(t + release + kMargin, t + pause - kMargin / 2),
       kThrottleDb, kAny},
  };
}

std::vector<Check> cues(const Sound& s, double refused, double reset, double turn, double turned,
                        int starts, int stops) {
  constexpr double kGap = 0.2;         // s of silence at least: the sound stopped
  constexpr double kAround = 0.06;     // s either side of a start or stop, looked at
  constexpr double kHeardDb = 6.0;     // dB rougher with a cue than before it, at least
  constexpr double kTurnDb = 1.5;      // dB rougher turning than standing, at least
  constexpr double kCueLength = 0.35;  // s a cue's sound is looked for
  constexpr double kLag = 0.3;         // s a key may take to be heard, at most
  const double t = s.first;            // s into the file: Space
  const double steady = s.largestStep(t + 1.0, t + refused - kLag);
  // The starts and stops: the edges of each stretch of silence, and the file's end.
  std::vector<double> edges;
  int started = 1, stopped = 0;
  edges.push_back(s.first);
  for (std::size_t i = s.at(t), quiet = 0; i < s.samples.size(); ++i) {
    if (std::fabs(s.samples[i]) <= kSilent) {
      ++quiet;
      continue;
    }
    if (quiet >= s.at(kGap)) {
      edges.push_back((i - quiet) / s.rate);
      edges.push_back(i / s.rate);
      ++stopped;
      ++started;
    }
    quiet = 0;
  }
  const bool endsSilent = s.samples.size() > s.at(s.last) + 1;
  if (endsSilent) ++stopped;
  edges.push_back(s.last);
  double worst = 0.0;
  for (double edge : edges) worst = std::max(worst, s.largestStep(edge - kAround, edge + kAround));
  const double lastSample = std::fabs(s.samples.back());
  std::printf("starts %d, stops %d; the largest step at them %.4f, driving %.4f\n", started,
              stopped, worst, steady);
  const auto rise = [&](double at) {  // a cue at `at` s: dB rougher than the half second before
    return s.roughDb(t + at, t + at + kLag + kCueLength) - s.roughDb(t + at - 0.6, t + at - 0.1);
  };
  return {
      {"dB a refused shift's cue stands out", rise(refused), kHeardDb, kAny},
      {"dB a reset's cue stands out", rise(reset), kHeardDb, kAny},
      {"dB turning on the spot is rougher than standing",
       s.roughDb(t + turn + kLag + 0.2, t + turned - 0.1) -
           s.roughDb(t + turned + kLag + 0.3, t + turned + kLag + 0.9),
       kTurnDb, kAny},
      {"starts of sound", static_cast<double>(started), static_cast<double>(starts), kAny},
      {"stops of sound", static_cast<double>(stopped), static_cast<double>(stops), kAny},
      {"times the driving's largest step, at a start or stop", worst / steady, 0.0, 1.0},
      {"of full scale, the file's last sample", lastSample, 0.0, kSilent},
  };
}

}  // namespace

int main(int argc, char** argv) {
  constexpr double kHeardLeast = 1.0, kHeardMost = 2.0;  // s of sound in the muted run
  Sound s;
  const bool cueRun = argc == 9 && std::string(argv[2]) == "cues";
  if ((argc != 2 && argc != 5 && !cueRun) || !read(argv[1], s)) {
    std::fputs(
        "usage: listen <file.wav of 16-bit samples> [<shift> <release> <pause> | cues "
        "<refused> <reset> <turn> <turned> <starts> <stops>]\n",
        stderr);
    return 2;
  }
  const auto at = [argv](int i) { return std::atof(argv[i]); };
  const std::vector<Check> checks =
      cueRun      ? cues(s, at(3), at(4), at(5), at(6), std::atoi(argv[7]), std::atoi(argv[8]))
      : argc == 2 ? std::vector<Check>{{"s of sound", s.last - s.first, kHeardLeast, kHeardMost}}
                  : drive(s, at(2), at(3), at(4));
  int failures = 0;
  for (const Check& c : checks) {
    const bool holds = c.value >= c.least && c.value <= c.most;
    failures += holds ? 0 : 1;
    std::printf("%s: %s %.2f, within [%.2f, %.2f]\n", holds ? "ok" : "FAILED", c.what, c.value,
                c.least, c.most);
  }
  return failures == 0 ? 0 : 1;
}
