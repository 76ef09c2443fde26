// Listens to what the program played into OpenAL Soft's wave writer: the loudness and the
// pitch of the sound over time, and checks of a scripted drive against them.
//   listen track <file.wav>   prints "seconds  dB  Hz" every 50 ms (Hz 0: no pitch found)
//   listen drive <file.wav> <shift> <release> <press> <pause>
//       the drive that e2e.sh plays: silence until Space and W start the tank in first
//       gear, at 0 s; Q at <shift> s; W up at <release> and down again at <press>; Space at
//       <pause>. Checks: silent before the start and after the pause; the note rises while
//       first gear pulls and drops at the shift, which clunks; louder with the throttle
//   listen heard <file.wav>   prints the file's length and how much of it holds sound, in s
// Exit code 0 when every check holds, 1 when one fails, 2 when the file cannot be read.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr double kHop = 0.05;         // s between the track's points
constexpr double kWindow = 0.1;       // s of sound each point hears
constexpr double kLowestHz = 30.0;    // Hz, the pitch search's range
constexpr double kHighestHz = 300.0;  // Hz
constexpr double kSilent = 1e-4;      // of full scale: anything louder is sound
constexpr double kPeriodic = 0.3;     // the pitch search's threshold on its difference function

struct Sound {
  int rate = 0;                 // samples per second
  std::vector<double> samples;  // the first channel, full scale 1
};

std::uint32_t le(const unsigned char* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// 16-bit integer or 32-bit float samples, plain or extensible; a data chunk that the writer
// could not finish (its size 0 or past the end) runs to the end of the file.
bool read(const char* path, Sound& sound) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
      std::memcmp(file.data() + 8, "WAVE", 4) != 0)
    return false;
  int format = 0, channels = 0, bits = 0;
  for (std::size_t at = 12; at + 8 <= file.size();) {
    const unsigned char* chunk = file.data() + at;
    std::size_t size = le(chunk + 4, 4);
    const std::size_t body = at + 8;
    if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16 && body + size <= file.size()) {
      format = static_cast<int>(le(chunk + 8, 2));
      channels = static_cast<int>(le(chunk + 10, 2));
      sound.rate = static_cast<int>(le(chunk + 12, 4));
      bits = static_cast<int>(le(chunk + 22, 2));
      if (format == 0xFFFE && size >= 26) format = static_cast<int>(le(chunk + 32, 2));
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (size == 0 || body + size > file.size()) size = file.size() - body;
      const bool pcm16 = format == 1 && bits == 16, float32 = format == 3 && bits == 32;
      if (!(pcm16 || float32) || channels < 1 || sound.rate <= 0) return false;
      const std::size_t frame = static_cast<std::size_t>(channels) * bits / 8;
      for (std::size_t i = body; i + frame <= body + size; i += frame) {
        const std::uint32_t raw = le(file.data() + i, bits / 8);
        float f;
        std::memcpy(&f, &raw, sizeof f);
        sound.samples.push_back(pcm16 ? static_cast<std::int16_t>(raw) / 32768.0 : f);
      }
      return true;
    }
    at = body + size + (size & 1);
  }
  return false;
}

struct Point {
  double seconds;  // the window's middle
  double db;       // loudness, dB of full scale; -200 for exact silence
  double hz;       // fundamental, 0 for none
};

// The fundamental by the cumulative mean normalized difference: the first lag whose
// difference dips under the threshold, at its local minimum, refined by a parabola.
double pitch(const double* x, int n, int rate) {
  const int lo = static_cast<int>(rate / kHighestHz), hi = static_cast<int>(rate / kLowestHz);
  if (n < 2 * hi) return 0.0;
  const int span = n - hi;
  std::vector<double> d(hi + 2, 0.0);
  for (int lag = 1; lag <= hi + 1; ++lag) {
    double sum = 0.0;
    for (int i = 0; i < span; ++i) sum += (x[i] - x[i + lag]) * (x[i] - x[i + lag]);
    d[lag] = sum;
  }
  double running = 0.0;
  std::vector<double> cmnd(hi + 2, 1.0);
  for (int lag = 1; lag <= hi + 1; ++lag) {
    running += d[lag];
    cmnd[lag] = running > 0.0 ? d[lag] * lag / running : 1.0;
  }
  for (int lag = lo; lag <= hi; ++lag) {
    if (cmnd[lag] >= kPeriodic) continue;
    while (lag < hi && cmnd[lag + 1] < cmnd[lag]) ++lag;
    const double a = cmnd[lag - 1], b = cmnd[lag], c = cmnd[lag + 1];
    const double shift = (a - 2 * b + c) != 0.0 ? 0.5 * (a - c) / (a - 2 * b + c) : 0.0;
    return rate / (lag + std::clamp(shift, -0.5, 0.5));
  }
  return 0.0;
}

std::vector<Point> track(const Sound& s) {
  std::vector<Point> points;
  const int window = static_cast<int>(kWindow * s.rate), hop = static_cast<int>(kHop * s.rate);
  for (std::size_t at = 0; at + window <= s.samples.size(); at += hop) {
    const double* x = s.samples.data() + at;
    double energy = 0.0;
    for (int i = 0; i < window; ++i) energy += x[i] * x[i];
    const double rms = std::sqrt(energy / window);
    points.push_back({(at + window / 2.0) / s.rate, rms > 0.0 ? 20.0 * std::log10(rms) : -200.0,
                      rms > kSilent ? pitch(x, window, s.rate) : 0.0});
  }
  return points;
}

// The first and last samples louder than silence; -1 when there is none.
long firstSound(const Sound& s) {
  for (std::size_t i = 0; i < s.samples.size(); ++i)
    if (std::fabs(s.samples[i]) > kSilent) return static_cast<long>(i);
  return -1;
}
long lastSound(const Sound& s) {
  for (std::size_t i = s.samples.size(); i-- > 0;)
    if (std::fabs(s.samples[i]) > kSilent) return static_cast<long>(i);
  return -1;
}

// The median of a field over the points whose time lies in [from, to).
double median(const std::vector<Point>& points, double Point::*field, double from, double to) {
  std::vector<double> v;
  for (const Point& p : points)
    if (p.seconds >= from && p.seconds < to && p.*field > 0.0) v.push_back(p.*field);
  if (v.empty()) return 0.0;
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

// The largest sample over [from, to), of full scale.
double peak(const Sound& s, double from, double to) {
  const std::size_t a = static_cast<std::size_t>(std::max(0.0, from) * s.rate);
  const std::size_t b = std::min(s.samples.size(), static_cast<std::size_t>(to * s.rate));
  double most = 0.0;
  for (std::size_t i = a; i < b; ++i) most = std::max(most, std::fabs(s.samples[i]));
  return most;
}

// Loudness over [from, to), dB of full scale, from the samples themselves.
double loudness(const Sound& s, double from, double to) {
  const std::size_t a = static_cast<std::size_t>(std::max(0.0, from) * s.rate);
  const std::size_t b = std::min(s.samples.size(), static_cast<std::size_t>(to * s.rate));
  double energy = 0.0;
  for (std::size_t i = a; i < b; ++i) energy += s.samples[i] * s.samples[i];
  return b > a && energy > 0.0 ? 10.0 * std::log10(energy / (b - a)) : -200.0;
}

int failures = 0;
void expect(bool holds, const char* what) {
  std::printf("%s: %s\n", holds ? "ok" : "FAILED", what);
  if (!holds) ++failures;
}

int drive(const Sound& s, double shift, double release, double press, double pause) {
  constexpr double kLead = 1.0;        // s of silence at least before the start: paused
  constexpr double kMargin = 0.25;     // s kept clear of each event: the key's way to the sound
  constexpr double kRise = 1.3;        // first gear pulling: the pitch rises at least so much
  constexpr double kStep = 0.25;       // s: the rise is read in steps of this
  constexpr double kWobble = 3.0;      // Hz a step may fall back, the pitch search's scatter
  constexpr double kClunk = 1.3;       // the clunk's peak over the pulling note's, at least
  constexpr double kLate = 0.5;        // s the pause may take to silence a loaded machine's frame
  constexpr double kDrop = 0.85;       // a shift up lowers the pitch to at most so much
  constexpr double kThrottleDb = 3.0;  // dB louder with the throttle
  constexpr double kTail = 0.8;        // s of silence at least after the pause

  const long first = firstSound(s), last = lastSound(s);
  if (first < 0) {
    expect(false, "the file holds sound");
    return 1;
  }
  const double start = static_cast<double>(first) / s.rate;  // s: Space and W
  const double end = static_cast<double>(s.samples.size()) / s.rate;
  const double quietAfter = static_cast<double>(last + 1) / s.rate - start;
  std::vector<Point> points = track(s);
  for (Point& p : points) p.seconds -= start;

  std::printf("sound from %.2f s to %.2f s of %.2f s\n", start, start + quietAfter, end);
  expect(start >= kLead, "silent while paused before the drive");
  expect(quietAfter <= pause + kLate && end - start - quietAfter >= kTail,
         "silent from the pause on");

  // Pulling in first gear: the pitch climbs step by step, and well beyond where it began.
  std::vector<double> steps;
  for (double t = kMargin; t + kStep <= shift - kMargin; t += kStep)
    steps.push_back(median(points, &Point::hz, t, t + kStep));
  bool climbs = steps.size() >= 4 && steps.front() > 0.0;
  for (std::size_t i = 1; i < steps.size(); ++i)
    climbs = climbs && steps[i] >= steps[i - 1] - kWobble;
  std::printf("first gear, Hz every %.2f s:", kStep);
  for (double hz : steps) std::printf(" %.0f", hz);
  std::printf("\n");
  expect(climbs && steps.back() >= kRise * steps.front(), "the note rises as first gear pulls");

  const double before = median(points, &Point::hz, shift - 2 * kMargin, shift - kMargin / 2);
  const double after = median(points, &Point::hz, shift + kMargin / 2, shift + 2 * kMargin);
  std::printf("shift up: %.1f Hz before, %.1f Hz after\n", before, after);
  expect(before > 0.0 && after > 0.0 && after <= kDrop * before, "the note drops at a shift up");
  const double pull = peak(s, start + shift - 4 * kMargin, start + shift - kMargin);
  const double clunk = peak(s, start + shift - kMargin, start + shift + 2 * kMargin);
  std::printf("shift up: peaks %.2f pulling, %.2f at the shift\n", pull, clunk);
  expect(clunk >= kClunk * pull, "the shift clunks");

  const double pulling = loudness(s, start + shift + kMargin, start + release - kMargin / 2);
  const double coasting = loudness(s, start + release + kMargin, start + press - kMargin / 2);
  const double again = loudness(s, start + press + kMargin, start + pause - kMargin / 2);
  std::printf("loudness: %.1f dB pulling, %.1f dB coasting, %.1f dB pulling again\n", pulling,
              coasting, again);
  expect(pulling >= coasting + kThrottleDb && again >= coasting + kThrottleDb,
         "louder with the throttle than without");
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc >= 3 ? argv[1] : "";
  Sound s;
  if (command.empty() || !read(argv[2], s)) {
    std::fprintf(stderr, "listen: %s\n",
                 command.empty() ? "usage: listen track|drive|heard <file.wav> ..."
                                 : "not a WAV file of 16-bit or float samples");
    return 2;
  }
  if (command == "track") {
    for (const Point& p : track(s)) std::printf("%.3f %.1f %.1f\n", p.seconds, p.db, p.hz);
    return 0;
  }
  if (command == "heard") {
    const long first = firstSound(s), last = lastSound(s);
    std::printf("%.2f %.2f\n", static_cast<double>(s.samples.size()) / s.rate,
                first < 0 ? 0.0 : static_cast<double>(last + 1 - first) / s.rate);
    return 0;
  }
  if (command == "drive" && argc == 7)
    return drive(s, std::atof(argv[3]), std::atof(argv[4]), std::atof(argv[5]), std::atof(argv[6]));
  std::fprintf(stderr, "listen: unknown command or arguments\n");
  return 2;
}
