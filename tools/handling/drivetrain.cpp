// The gears: their torque and force over road speed, and road speed over time.
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "runs.h"
#include "support.h"

namespace handling {
namespace {

using support::TankScene;

constexpr double kKmhPerMs = 3.6;  // km/h in one m/s
constexpr int kGears[] = {-2, -1, 1, 2, 3, 4};
constexpr int kFastestForward = 4;
constexpr int kFastestReverse = -2;

// W is held until the road speed changes by less than this over a check: the gear's top
// speed, to within a few hundredths of a km/h even in the slowest-to-settle gear.
constexpr double kSteadyAcceleration = 1.0e-4;  // m/s^2
constexpr int kCheckFrames = 60;                // frames between two checks
constexpr float kLongestHold = 3600.0f;         // s, a bound in case a gear never settles
constexpr double kBandStep = 0.05 / kKmhPerMs;  // m/s, the closest two kept band points lie

constexpr float kSpeedSeconds = 600.0f;  // s, length of the speed drives
constexpr int kSpeedRowFrames = 6;       // frames between two rows: 0.1 s

// Shifts with Q and E, one position at a time, as a driver would; false when the model
// refuses a shift on the way.
bool shiftTo(Tank& tank, int gear) {
  while (tank.engine.getGear() != gear) {
    const int before = tank.engine.getGear();
    if (before < gear) {
      tank.setGearUp();
    } else {
      tank.setGearDown();
    }
    if (tank.engine.getGear() == before) return false;
  }
  return true;
}

// A tank settled on its springs, standing in `gear`; none when the model refuses it.
std::unique_ptr<TankScene> standingIn(int gear) {
  auto scene = std::make_unique<TankScene>();
  scene->settle();
  if (!shiftTo(*scene->tank, gear)) return nullptr;
  return scene;
}

// Holds W until the road speed stops changing, adding each step to `points` when given.
// The first step after a shift on the move is left out: its torque still comes from the
// engine speed of the gear before.
void holdThrottle(TankScene& scene, std::vector<BandPoint>* points, bool justShifted) {
  const engine::Engine& engine = scene.tank->engine;
  scene.tank->accelerate(true);
  double checked = engine.getSpeed();
  const long frames = std::lround(kLongestHold / kFrame);
  for (long i = 0; i < frames; ++i) {
    const double speed = engine.getSpeed();
    scene.frame(kFrame);
    if (points && !(justShifted && i == 0))
      points->push_back({speed, engine.torque, engine.getForce()});
    if ((i + 1) % kCheckFrames == 0) {
      if (std::fabs(engine.getSpeed() - checked) < kSteadyAcceleration * kCheckFrames * kFrame)
        break;
      checked = engine.getSpeed();
    }
  }
}

// By speed, no two points closer than kBandStep but the last.
void sortAndThin(std::vector<BandPoint>& points) {
  std::sort(points.begin(), points.end(),
            [](const BandPoint& a, const BandPoint& b) { return a.speed < b.speed; });
  std::vector<BandPoint> kept;
  for (const BandPoint& p : points)
    if (kept.empty() || p.speed - kept.back().speed >= kBandStep) kept.push_back(p);
  if (!points.empty() && kept.back().speed != points.back().speed) kept.push_back(points.back());
  points = std::move(kept);
}

const Band* bandOf(const std::vector<Band>& bands, int gear) {
  for (const Band& band : bands)
    if (band.gear == gear) return &band;
  return nullptr;
}

// The band's net force at `speed`, between its two nearest points; minus infinity outside
// the band, where the model never drives in that gear.
double forceAt(const Band& band, double speed) {
  const std::vector<BandPoint>& p = band.points;
  auto above = std::lower_bound(p.begin(), p.end(), speed,
                                [](const BandPoint& a, double v) { return a.speed < v; });
  if (p.empty() || above == p.end() || (above == p.begin() && above->speed > speed))
    return -std::numeric_limits<double>::infinity();
  if (above->speed == speed) return above->force;
  const BandPoint& below = *(above - 1);
  const double share = (speed - below.speed) / (above->speed - below.speed);
  return below.force + share * (above->force - below.force);
}

// Road speed in km/h every kSpeedRowFrames frames from the moment W goes down, for
// kSpeedSeconds. With bands, shifts up when the next gear pulls harder, and notes the gear.
std::vector<double> driveFromStandstill(TankScene& scene, const std::vector<Band>* bands,
                                        std::vector<double>* gears) {
  Tank& tank = *scene.tank;
  std::vector<double> speeds;
  tank.accelerate(true);
  const long frames = std::lround(kSpeedSeconds / kFrame);
  for (long i = 0; i <= frames; ++i) {
    if (i % kSpeedRowFrames == 0) {
      speeds.push_back(tank.engine.getSpeed() * kKmhPerMs);
      if (gears) gears->push_back(tank.engine.getGear());
    }
    if (bands) {
      const int gear = tank.engine.getGear();
      const Band* now = bandOf(*bands, gear);
      const Band* next = bandOf(*bands, gear + 1);
      const double speed = tank.engine.getSpeed();
      if (gear > 0 && now && next && forceAt(*next, speed) > forceAt(*now, speed)) tank.setGearUp();
    }
    scene.frame(kFrame);
  }
  return speeds;
}

Table bandTable(const std::vector<Band>& bands, const char* quantity, double BandPoint::*field) {
  Table table{{"gear", "speed_kmh", quantity}, {}, {}};
  for (const Band& band : bands)
    for (const BandPoint& p : band.points)
      table.rows.push_back({static_cast<double>(band.gear), p.speed * kKmhPerMs, p.*field});
  return table;
}

}  // namespace

std::vector<Band> measureBands() {
  std::vector<Band> bands;
  for (int gear : kGears) {
    std::unique_ptr<TankScene> standing = standingIn(gear);
    if (!standing) continue;
    Band band{gear, {}};
    holdThrottle(*standing, &band.points, false);
    const int fastest = gear > 0 ? kFastestForward : kFastestReverse;
    if (gear != fastest) {
      std::unique_ptr<TankScene> flying = standingIn(fastest);
      if (flying) {
        holdThrottle(*flying, nullptr, false);
        if (shiftTo(*flying->tank, gear)) holdThrottle(*flying, &band.points, true);
      }
    }
    sortAndThin(band.points);
    bands.push_back(std::move(band));
  }
  return bands;
}

Table torqueTable(const std::vector<Band>& bands) {
  Table table = bandTable(bands, "torque_Nm", &BandPoint::torque);
  table.notes.push_back("drive torque by gear (-2, -1 reverse) over road speed, W held");
  return table;
}

Table forceTable(const std::vector<Band>& bands) {
  Table table = bandTable(bands, "force_N", &BandPoint::force);
  table.notes.push_back("net longitudinal force by gear (-2, -1 reverse) over road speed, W held");
  return table;
}

Table speedTable(const std::vector<Band>& bands) {
  Table table{{"time_s", "shifting_kmh", "shifting_gear"}, {}, {}};
  table.notes.push_back(
      "W held from standstill; shifting: from first gear, up when the next "
      "gear pulls harder at that speed");
  std::vector<std::vector<double>> columns(2);
  {
    TankScene scene;
    scene.settle();
    columns[0] = driveFromStandstill(scene, &bands, &columns[1]);
  }
  const struct {
    int gear;
    const char* column;
  } alone[] = {{1, "gear1_kmh"}, {2, "gear2_kmh"},     {3, "gear3_kmh"},
               {4, "gear4_kmh"}, {-1, "reverse1_kmh"}, {-2, "reverse2_kmh"}};
  for (const auto& a : alone) {
    std::unique_ptr<TankScene> scene = standingIn(a.gear);
    if (!scene) {
      table.notes.push_back(std::string("no ") + a.column + ": the model refuses that gear");
      continue;
    }
    table.columns.push_back(a.column);
    columns.push_back(driveFromStandstill(*scene, nullptr, nullptr));
  }
  for (std::size_t row = 0; row < columns[0].size(); ++row) {
    std::vector<double> values{static_cast<double>(row * kSpeedRowFrames) * kFrame};
    for (const std::vector<double>& column : columns) values.push_back(column[row]);
    table.rows.push_back(std::move(values));
  }
  return table;
}

}  // namespace handling
