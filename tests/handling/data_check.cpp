// Runs ferrox_handling, which drives the tank model and writes the data behind the handling
// plots, and checks what it wrote: every file with its columns and only numbers, and what the
// tool itself decides (when to shift, where a band starts, when a jump is over) as the plots
// claim. What the model does in each drive, its unit tests check.
// Usage: ferrox_handling_check PATH_TO_FERROX_HANDLING [gtest flags]
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A data file as the tool writes it, and its lines that are not the numbers they should be.
struct Data {
  std::vector<std::string> columns, faults;
  std::vector<std::vector<double>> rows;  // each as long as columns

  std::vector<double> values(const std::string& name) const {
    const auto c = std::find(columns.begin(), columns.end(), name) - columns.begin();
    std::vector<double> out;
    for (const std::vector<double>& row : rows)
      if (c < static_cast<long>(row.size())) out.push_back(row[c]);
    return out;
  }
};

Data read(const fs::path& path) {
  Data data;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  std::istringstream header(line);
  for (std::string name; header >> name;) data.columns.push_back(name);
  while (std::getline(in, line)) {
    if (line.rfind("# ", 0) == 0) continue;  // a note for the plot
    std::istringstream fields(line);
    std::vector<double> row;
    bool numbers = true;
    for (std::string field; fields >> field;) {
      char* end = nullptr;
      row.push_back(std::strtod(field.c_str(), &end));
      numbers = numbers && *end == '\0' && std::isfinite(row.back());
    }
    if (numbers && row.size() == data.columns.size())
      data.rows.push_back(std::move(row));
    else
      data.faults.push_back(line);
  }
  return data;
}

std::map<std::string, Data> gFiles;  // by file name, as the tool wrote them
int gToolStatus = -1;

constexpr double kSpeedTol = 0.5;  // km/h: sampling and interpolation between drives

TEST(HandlingData, EveryFileHasItsColumnsAndOnlyNumbers) {
  ASSERT_EQ(gToolStatus, 0);
  const std::map<std::string, std::vector<std::string>> expected = {
      {"speed.dat",
       {"time_s", "shifting_kmh", "shifting_gear", "gear1_kmh", "gear2_kmh", "gear3_kmh",
        "gear4_kmh", "reverse1_kmh", "reverse2_kmh"}},
      {"torque.dat", {"gear", "speed_kmh", "torque_Nm"}},
      {"force.dat", {"gear", "speed_kmh", "force_N"}},
      {"jump.dat", {"time_s", "height_m", "pitch_deg", "roll_deg"}},
      {"traverse.dat", {"time_s", "j_held", "rate_degps", "yaw_deg"}}};
  for (const auto& [name, columns] : expected) {
    SCOPED_TRACE(name);
    const Data& data = gFiles[name];
    EXPECT_EQ(data.columns, columns);
    EXPECT_TRUE(data.faults.empty()) << data.faults.front();
    EXPECT_GT(data.rows.size(), 100u);
    const std::vector<double> time = data.values("time_s");  // forwards, where there is one
    EXPECT_TRUE(std::is_sorted(time.begin(), time.end()));
  }
}

// Shifting up from first is never slower than any one gear alone: the tool shifts only to a
// gear that pulls harder, and skipping one or shifting early or late falls behind.
TEST(HandlingSpeed, ShiftingUpBeatsEachGearAlone) {
  const Data& speed = gFiles.at("speed.dat");
  const std::vector<double> shifting = speed.values("shifting_kmh");
  for (const char* alone : {"gear1_kmh", "gear2_kmh", "gear3_kmh", "gear4_kmh"}) {
    const std::vector<double> v = speed.values(alone);
    for (std::size_t i = 0; i < v.size(); ++i)
      ASSERT_GE(shifting[i], v[i] - kSpeedTol) << alone << " at row " << i;
  }
}

// Every gear's band, the same rows in the torque and the force files, runs from standstill,
// its end nearest zero, so that the plots show each gear's pull from where a driver first
// feels it. (What each gear pulls, the engine's unit tests check.)
TEST(HandlingBands, EveryGearsBandStartsFromStandstill) {
  const Data& torque = gFiles.at("torque.dat");
  const Data& force = gFiles.at("force.dat");
  const std::vector<double> gears = torque.values("gear"), speeds = torque.values("speed_kmh");
  ASSERT_EQ(gears, force.values("gear"));
  ASSERT_EQ(speeds, force.values("speed_kmh"));
  std::map<int, std::vector<double>> bands;  // speeds by gear
  for (std::size_t i = 0; i < gears.size(); ++i)
    bands[static_cast<int>(gears[i])].push_back(speeds[i]);
  EXPECT_EQ(bands.size(), 6u);
  for (const auto& [gear, band] : bands) {
    SCOPED_TRACE("gear " + std::to_string(gear));
    EXPECT_TRUE(std::is_sorted(band.begin(), band.end()));
    EXPECT_EQ(gear > 0 ? band.front() : band.back(), 0.0);
  }
}

constexpr double kRestHeight = 0.001;  // m from the height before the jump: at rest again
constexpr double kRestAngle = 0.1;     // deg of pitch and roll: at rest again
constexpr double kRestFor = 1.0;       // s at rest that ends the file
constexpr double kClearJump = 0.5;     // m the hull rises at least
constexpr double kTimeTol = 1.0e-3;    // s, the written times' rounding

// The jump lifts the hull clear, and the file ends once the hull has been back at rest, at
// the height it started from and level, for a while: the plot shows the whole jump. (How the
// hull flies and settles, the tank's unit tests check.)
TEST(HandlingJump, TheFileEndsWithTheHullBackAtRestWhereItWas) {
  const Data& jump = gFiles.at("jump.dat");
  ASSERT_FALSE(jump.rows.empty());
  const double rest = jump.rows.front()[1];
  double highest = rest;
  for (const std::vector<double>& row : jump.rows) {  // time, height, pitch, roll
    highest = std::max(highest, row[1]);
    if (jump.rows.back()[0] - row[0] >= kRestFor - kTimeTol) continue;
    SCOPED_TRACE(std::to_string(row[0]) + " s");
    EXPECT_NEAR(row[1], rest, kRestHeight);
    EXPECT_NEAR(row[2], 0.0, kRestAngle);
    EXPECT_NEAR(row[3], 0.0, kRestAngle);
  }
  EXPECT_GT(highest, rest + kClearJump);
}

}  // namespace

// The tool runs once, into a folder of the tests' scratch space that is gone afterwards.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PATH_TO_FERROX_HANDLING [gtest flags]\n", argv[0]);
    return 2;
  }
  const fs::path out = fs::temp_directory_path() / "ferrox-handling-data";
  fs::remove_all(out);
  gToolStatus =
      std::system(("'" + std::string(argv[1]) + "' '" + out.string() + "' >/dev/null").c_str());
  for (const char* name : {"speed.dat", "torque.dat", "force.dat", "jump.dat", "traverse.dat"})
    if (fs::exists(out / name)) gFiles[name] = read(out / name);
  fs::remove_all(out);
  return RUN_ALL_TESTS();
}
