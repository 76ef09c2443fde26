// Drives the tank model through its commands on the null device and writes what it does as
// plain data files, one per plot of docs/handling.md (tools/handling/plots.gp draws them):
//   speed.dat     road speed over time, W held, shifting up from first and in each gear alone
//   torque.dat    drive torque over road speed, by gear
//   force.dat     net longitudinal force over road speed, by gear
//   jump.dat      the hull's height, pitch and roll through a jump until it settles
//   traverse.dat  the turret's traverse rate and yaw, J held for a second and released
// Then a few figures read from them, on stdout. Every run gives the same files.
// Usage: ferrox_handling OUT_DIR
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "runs.h"

namespace {

constexpr unsigned kJumpSeed = 1;  // seeds the jump's choice of wheel

// The column's index in the table; -1 when it has none of that name.
int columnOf(const handling::Table& table, const std::string& name) {
  for (std::size_t i = 0; i < table.columns.size(); ++i)
    if (table.columns[i] == name) return static_cast<int>(i);
  return -1;
}

// The figures that docs/handling.md quotes, read from the tables: top speeds, shift points,
// the jump's extremes and settling, the traverse.
void printFigures(const handling::Table& speed, const handling::Table& jump,
                  const handling::Table& traverse) {
  const std::vector<double>& last = speed.rows.back();
  std::printf("after %.0f s with W held:", last[0]);
  for (std::size_t c = 1; c < speed.columns.size(); ++c)
    if (speed.columns[c] != "shifting_gear")
      std::printf(" %s %.1f", speed.columns[c].c_str(), last[c]);
  std::printf("\nshifts:");
  const int gear = columnOf(speed, "shifting_gear");
  for (std::size_t r = 1; r < speed.rows.size(); ++r)
    if (speed.rows[r][gear] != speed.rows[r - 1][gear])
      std::printf(" to %.0f by %.1f s at %.1f km/h", speed.rows[r][gear], speed.rows[r][0],
                  speed.rows[r][1]);
  double highest = -1e9, steepest = 0.0;
  for (const std::vector<double>& row : jump.rows) {
    highest = std::max(highest, row[1]);
    steepest = std::max(steepest, std::fabs(row[2]));
  }
  std::printf("\njump: highest %.3f m, steepest pitch %.1f deg; %s\n", highest, steepest,
              jump.notes.back().c_str());
  // A row holds the state before its step, and whether J is down during that step: the
  // first row with J up is where the turret is as J comes up.
  double fastest = 0.0, releasedYaw = 0.0;
  bool released = false;
  for (const std::vector<double>& row : traverse.rows) {
    fastest = std::max(fastest, row[2]);
    if (row[1] == 0.0 && !released) releasedYaw = row[3];
    released = released || row[1] == 0.0;
  }
  std::printf("traverse: fastest %.2f deg/s; %.2f deg more after release\n", fastest,
              traverse.rows.back()[3] - releasedYaw);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
    return 2;
  }
  const std::filesystem::path out = argv[1];
  std::error_code error;
  std::filesystem::create_directories(out, error);
  if (error) {
    std::fprintf(stderr, "%s: %s\n", out.c_str(), error.message().c_str());
    return 1;
  }
  const std::vector<handling::Band> bands = handling::measureBands();
  const handling::Table speed = handling::speedTable(bands);
  const handling::Table jump = handling::jumpTable(kJumpSeed);
  const handling::Table traverse = handling::traverseTable();
  const bool written = handling::write(speed, out / "speed.dat") &&
                       handling::write(handling::torqueTable(bands), out / "torque.dat") &&
                       handling::write(handling::forceTable(bands), out / "force.dat") &&
                       handling::write(jump, out / "jump.dat") &&
                       handling::write(traverse, out / "traverse.dat");
  if (!written) return 1;
  printFigures(speed, jump, traverse);
  return 0;
}
