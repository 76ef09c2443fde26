// Runs ferrox_handling, which drives the tank model and writes the data behind the handling
// plots, and checks what it wrote: every file with its columns and only numbers, and each
// drive doing what a tank must (first gear gets going, the hull comes back to rest after a
// jump, the turret stops when J comes up), so that a plot regenerated from a broken model
// does not pass unseen.
// Usage: ferrox_handling_check PATH_TO_FERROX_HANDLING [gtest flags]
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A data file as the tool writes it.
struct Data {
  std::vector<std::string> columns;
  std::vector<std::string> notes;
  std::vector<std::vector<double>> rows;
  std::vector<std::string> faults;  // what in the file is not a number where one belongs

  int column(const std::string& name) const {
    const auto at = std::find(columns.begin(), columns.end(), name);
    return at == columns.end() ? -1 : static_cast<int>(at - columns.begin());
  }
  std::vector<double> values(const std::string& name) const {
    std::vector<double> out;
    const int c = column(name);
    if (c >= 0)
      for (const std::vector<double>& row : rows) out.push_back(row[c]);
    return out;
  }
};

Data read(const fs::path& path) {
  Data data;
  std::ifstream in(path);
  std::string line;
  if (!std::getline(in, line)) {
    data.faults.push_back("no header");
    return data;
  }
  std::istringstream header(line);
  for (std::string name; header >> name;) data.columns.push_back(name);
  for (int number = 2; std::getline(in, line); ++number) {
    if (line.rfind("# ", 0) == 0) {
      data.notes.push_back(line.substr(2));
      continue;
    }
    std::istringstream fields(line);
    std::vector<double> row;
    for (std::string field; fields >> field;) {
      char* end = nullptr;
      const double value = std::strtod(field.c_str(), &end);
      if (*end != '\0' || !std::isfinite(value))
        data.faults.push_back("line " + std::to_string(number) + ": " + field);
      row.push_back(value);
    }
    if (row.size() != data.columns.size())
      data.faults.push_back("line " + std::to_string(number) + ": " + std::to_string(row.size()) +
                            " values");
    else
      data.rows.push_back(std::move(row));
  }
  return data;
}

std::string gTool;                   // the tool, from the command line
std::map<std::string, Data> gFiles;  // by file name, as the tool wrote them
int gToolStatus = -1;

// The tool runs once, into a folder of the tests' scratch space that is gone afterwards.
class ToolRun : public ::testing::Environment {
 public:
  void SetUp() override {
    const fs::path out = fs::temp_directory_path() / "ferrox-handling-data";
    fs::remove_all(out);
    gToolStatus = std::system(("'" + gTool + "' '" + out.string() + "' >/dev/null").c_str());
    for (const char* name : {"speed.dat", "torque.dat", "force.dat", "jump.dat", "traverse.dat"})
      if (fs::exists(out / name)) gFiles[name] = read(out / name);
    fs::remove_all(out);
  }
};

const Data& file(const std::string& name) { return gFiles[name]; }

double last(const std::vector<double>& v) { return v.empty() ? NAN : v.back(); }

constexpr double kSpeedTol = 0.5;        // km/h: sampling and interpolation between drives
constexpr double kStillRising = 0.01;    // km/h a row that counts as a fall in a rising drive
constexpr double kMovingOff = 5.0;       // km/h first gear reaches in its first 2 s, at least
constexpr double kHeldTopSpeed = 0.1;    // km/h, the most a held top speed moves in its last minute
constexpr double kRowsPerSecond = 10.0;  // of speed.dat

TEST(HandlingData, EveryFileHasItsColumnsAndOnlyNumbers) {
  ASSERT_EQ(gToolStatus, 0) << gTool;
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
    ASSERT_EQ(gFiles.count(name), 1u);
    const Data& data = file(name);
    EXPECT_EQ(data.columns, columns);
    EXPECT_TRUE(data.faults.empty()) << data.faults.front();
    EXPECT_GT(data.rows.size(), 100u);
    // Time runs forwards in the drives over time.
    const std::vector<double> time = data.values("time_s");
    EXPECT_TRUE(std::is_sorted(time.begin(), time.end()));
  }
}

// The tank gets going in first gear and holds a top speed, each higher forward gear holds a
// higher one, and the reverse gears go backwards, the second faster.
TEST(HandlingSpeed, EveryGearGetsGoingAndHoldsItsTopSpeed) {
  const Data& speed = file("speed.dat");
  const std::vector<double> first = speed.values("gear1_kmh");
  ASSERT_GT(first.size(), 120u * kRowsPerSecond);
  EXPECT_EQ(first.front(), 0.0);
  EXPECT_GT(first[static_cast<std::size_t>(2 * kRowsPerSecond)], kMovingOff);
  for (std::size_t i = 1; i < first.size(); ++i)
    ASSERT_GE(first[i], first[i - 1] - kStillRising) << "row " << i;
  double previousTop = 0.0;
  for (const char* gear : {"gear1_kmh", "gear2_kmh", "gear3_kmh", "gear4_kmh"}) {
    const std::vector<double> v = speed.values(gear);
    ASSERT_FALSE(v.empty()) << gear;
    EXPECT_GT(v.back(), previousTop) << gear;
    previousTop = v.back();
  }
  for (const char* gear : {"gear1_kmh", "gear2_kmh", "reverse1_kmh", "reverse2_kmh"}) {
    const std::vector<double> v = speed.values(gear);
    ASSERT_FALSE(v.empty()) << gear;
    const double minuteBefore = v[v.size() - 1 - static_cast<std::size_t>(60 * kRowsPerSecond)];
    EXPECT_NEAR(v.back(), minuteBefore, kHeldTopSpeed) << gear;
  }
  EXPECT_LT(last(speed.values("reverse1_kmh")), -kMovingOff);
  EXPECT_LT(last(speed.values("reverse2_kmh")), last(speed.values("reverse1_kmh")));
}

// Shifting up from first gear takes the gears in turn and is never slower than any one of
// them alone: it shifts only to a gear that pulls harder.
TEST(HandlingSpeed, ShiftingUpTakesTheGearsInTurnAndIsNeverSlowerThanOneGear) {
  const Data& speed = file("speed.dat");
  const std::vector<double> gear = speed.values("shifting_gear");
  const std::vector<double> shifting = speed.values("shifting_kmh");
  ASSERT_FALSE(gear.empty());
  EXPECT_EQ(gear.front(), 1.0);
  EXPECT_EQ(gear.back(), 4.0);
  EXPECT_TRUE(std::is_sorted(gear.begin(), gear.end()));
  EXPECT_TRUE(std::find(gear.begin(), gear.end(), 2.0) != gear.end());
  for (const char* alone : {"gear1_kmh", "gear2_kmh", "gear3_kmh", "gear4_kmh"}) {
    const std::vector<double> v = speed.values(alone);
    for (std::size_t i = 0; i < v.size(); ++i)
      ASSERT_GE(shifting[i], v[i] - kSpeedTol) << alone << " at row " << i;
  }
  EXPECT_GT(shifting.back(), last(speed.values("gear3_kmh")));
}

// One gear's band: its points by speed, from the torque and force files alike.
struct BandCheck {
  std::vector<double> speed, torque, force;  // km/h, N m, N
};

std::map<int, BandCheck> bands() {
  std::map<int, BandCheck> out;
  const Data& torque = file("torque.dat");
  const Data& force = file("force.dat");
  if (torque.rows.size() != force.rows.size()) return out;
  for (std::size_t i = 0; i < torque.rows.size(); ++i) {
    BandCheck& band = out[static_cast<int>(torque.rows[i][0])];
    band.speed.push_back(torque.rows[i][1]);
    band.torque.push_back(torque.rows[i][2]);
    band.force.push_back(force.rows[i][2]);
  }
  return out;
}

// Every gear drives its way from standstill, and its net force dies away at the top speed
// that the speed drives hold in it: the two plots tell the same story.
TEST(HandlingBands, EveryGearPullsFromStandstillUpToTheTopSpeedItHolds) {
  const Data& torque = file("torque.dat");
  const Data& force = file("force.dat");
  ASSERT_EQ(torque.rows.size(), force.rows.size());
  for (std::size_t i = 0; i < torque.rows.size(); ++i) {
    ASSERT_EQ(torque.rows[i][0], force.rows[i][0]) << "row " << i;
    ASSERT_EQ(torque.rows[i][1], force.rows[i][1]) << "row " << i;
  }
  const std::map<int, BandCheck> all = bands();
  std::set<int> gears;
  for (const auto& entry : all) gears.insert(entry.first);
  EXPECT_EQ(gears, (std::set<int>{-2, -1, 1, 2, 3, 4}));
  const std::map<int, std::string> drives = {{1, "gear1_kmh"},     {2, "gear2_kmh"},
                                             {3, "gear3_kmh"},     {4, "gear4_kmh"},
                                             {-1, "reverse1_kmh"}, {-2, "reverse2_kmh"}};
  for (const auto& [gear, band] : all) {
    SCOPED_TRACE("gear " + std::to_string(gear));
    const double direction = gear > 0 ? 1.0 : -1.0;
    ASSERT_TRUE(std::is_sorted(band.speed.begin(), band.speed.end()));
    for (std::size_t i = 0; i < band.speed.size(); ++i) {
      EXPECT_GE(direction * band.speed[i], 0.0) << band.speed[i];
      EXPECT_GT(band.torque[i], 0.0) << band.speed[i];
    }
    // From standstill, the end of the band nearest zero, the gear pushes the right way.
    const std::size_t still = gear > 0 ? 0 : band.speed.size() - 1;
    EXPECT_EQ(band.speed[still], 0.0);
    EXPECT_GT(direction * band.force[still], 0.0);
    // Where the force has died away, the drive in that gear alone levels off; the top gear,
    // slowest to get there, is on its way at the end of the drive.
    std::size_t weakest = 0;
    for (std::size_t i = 0; i < band.force.size(); ++i)
      if (std::fabs(band.force[i]) < std::fabs(band.force[weakest])) weakest = i;
    const double held = last(file("speed.dat").values(drives.at(gear)));
    if (gear == 4) {
      EXPECT_LT(held, band.speed[weakest] + kSpeedTol);
    } else {
      EXPECT_NEAR(held, band.speed[weakest], kSpeedTol);
    }
  }
}

constexpr double kRestHeight = 0.001;    // m from the height before the jump: at rest again
constexpr double kRestAngle = 0.1;       // deg of pitch and roll: at rest again
constexpr double kRestFor = 1.0;         // s at rest that ends the file
constexpr double kClearJump = 0.5;       // m the hull rises at least
constexpr double kClearTilt = 5.0;       // deg the off-centre kick tips the hull at least
constexpr double kLongestSettle = 60.0;  // s
constexpr double kTimeTol = 1.0e-3;      // s, the written times' rounding

// The jump lifts the settled hull well clear and tips it, and it comes back to rest at the
// height it started from, level.
TEST(HandlingJump, TheHullRisesTipsAndComesBackToRestWhereItWas) {
  const Data& jump = file("jump.dat");
  const std::vector<double> time = jump.values("time_s"), height = jump.values("height_m");
  const std::vector<double> pitch = jump.values("pitch_deg"), roll = jump.values("roll_deg");
  ASSERT_FALSE(time.empty());
  ASSERT_LT(time.front(), 0.0);
  const double rest = height.front();
  double highest = rest, tilt = 0.0;
  for (std::size_t i = 0; i < time.size(); ++i) {
    if (time[i] <= 0.0) {
      ASSERT_NEAR(height[i], rest, kRestHeight) << time[i] << " s, before the jump";
      continue;
    }
    highest = std::max(highest, height[i]);
    tilt = std::max({tilt, std::fabs(pitch[i]), std::fabs(roll[i])});
  }
  EXPECT_GT(highest, rest + kClearJump);
  EXPECT_GT(tilt, kClearTilt);
  EXPECT_LT(time.back(), kLongestSettle + kRestFor);
  for (std::size_t i = 0; i < time.size(); ++i) {
    if (time.back() - time[i] >= kRestFor - kTimeTol) continue;
    EXPECT_NEAR(height[i], rest, kRestHeight) << time[i] << " s";
    EXPECT_NEAR(pitch[i], 0.0, kRestAngle) << time[i] << " s";
    EXPECT_NEAR(roll[i], 0.0, kRestAngle) << time[i] << " s";
  }
  const auto kicked = std::find_if(jump.notes.begin(), jump.notes.end(), [](const std::string& n) {
    return n.find("kicked wheel") != std::string::npos;
  });
  EXPECT_NE(kicked, jump.notes.end());
}

constexpr double kSteadyRate = 0.001;  // of the rate: held long enough, it no longer changes
constexpr double kStopped = 0.01;      // of the held rate: stopped
constexpr double kStopWithin = 0.5;    // s after J comes up
constexpr double kYawTol = 0.01;       // deg, a turret at rest
constexpr double kSlowest = 10.0;      // deg/s a held turret turns at least

// Held, the traverse rate rises to a steady value and the turret turns; released, it coasts
// a little further and stops.
TEST(HandlingTraverse, RisesToASteadyRateWhileHeldAndCoastsToAStopAfter) {
  const Data& traverse = file("traverse.dat");
  const std::vector<double> time = traverse.values("time_s"), held = traverse.values("j_held");
  const std::vector<double> rate = traverse.values("rate_degps"), yaw = traverse.values("yaw_deg");
  ASSERT_GT(time.size(), 2u);
  EXPECT_EQ(rate.front(), 0.0);
  std::size_t release = 0;
  while (release < held.size() && held[release] == 1.0) ++release;
  ASSERT_GT(release, 1u);
  ASSERT_LT(release, held.size());
  const double steady = rate[release - 1];
  EXPECT_GT(steady, kSlowest);
  for (std::size_t i = 1; i < release; ++i) ASSERT_GE(rate[i], rate[i - 1]) << time[i] << " s";
  EXPECT_NEAR(rate[release - 2], steady, kSteadyRate * steady);
  for (std::size_t i = release; i < held.size(); ++i) {
    ASSERT_EQ(held[i], 0.0);
    if (time[i] >= time[release] + kStopWithin) {
      EXPECT_LT(std::fabs(rate[i]), kStopped * steady) << time[i] << " s";
    }
  }
  EXPECT_GT(yaw[release - 1], 0.0);
  EXPECT_GT(yaw.back(), yaw[release] + kYawTol);          // coasts
  EXPECT_NEAR(yaw.back(), yaw[yaw.size() - 2], kYawTol);  // and stops
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PATH_TO_FERROX_HANDLING [gtest flags]\n", argv[0]);
    return 2;
  }
  gTool = argv[1];
  ::testing::AddGlobalTestEnvironment(new ToolRun);
  return RUN_ALL_TESTS();
}
