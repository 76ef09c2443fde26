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
#include <iterator>
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

double last(const std::vector<double>& v) { return v.empty() ? NAN : v.back(); }

constexpr double kSpeedTol = 0.5;        // km/h: sampling and interpolation between drives
constexpr double kMovingOff = 5.0;       // km/h first gear reaches in its first 2 s, at least
constexpr double kRowsPerSecond = 10.0;  // of speed.dat
const char* const kDrives[] = {"gear1_kmh", "gear2_kmh",    "gear3_kmh",
                               "gear4_kmh", "reverse1_kmh", "reverse2_kmh"};
const int kDriveGears[] = {1, 2, 3, 4, -1, -2};  // of each of kDrives

TEST(HandlingData, EveryFileHasItsColumnsAndOnlyNumbers) {
  ASSERT_EQ(gToolStatus, 0);
  std::vector<std::string> speed = {"time_s", "shifting_kmh", "shifting_gear"};
  speed.insert(speed.end(), std::begin(kDrives), std::end(kDrives));
  const std::map<std::string, std::vector<std::string>> expected = {
      {"speed.dat", speed},
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

// First gear gets going, and shifting up from first takes the gears in turn and is never
// slower than any one of them alone: it shifts only to a gear that pulls harder. (Each gear's
// pull and top speed are EngineStep's; that each drive levels off where its force dies,
// HandlingBands'.)
TEST(HandlingSpeed, FirstGearGetsGoingAndShiftingUpBeatsEachGearAlone) {
  const Data& speed = gFiles.at("speed.dat");
  const std::vector<double> first = speed.values("gear1_kmh");
  ASSERT_GT(first.size(), 120u * kRowsPerSecond);
  EXPECT_EQ(first.front(), 0.0);
  EXPECT_GT(first[static_cast<std::size_t>(2 * kRowsPerSecond)], kMovingOff);
  const std::vector<double> gear = speed.values("shifting_gear");
  const std::vector<double> shifting = speed.values("shifting_kmh");
  std::vector<double> taken;
  std::unique_copy(gear.begin(), gear.end(), std::back_inserter(taken));
  EXPECT_EQ(taken, (std::vector<double>{1, 2, 3, 4}));
  for (const char* alone : {"gear1_kmh", "gear2_kmh", "gear3_kmh", "gear4_kmh"}) {
    const std::vector<double> v = speed.values(alone);
    ASSERT_EQ(v.size(), shifting.size()) << alone;
    for (std::size_t i = 0; i < v.size(); ++i)
      ASSERT_GE(shifting[i], v[i] - kSpeedTol) << alone << " at row " << i;
  }
}

// Every gear's band, the same rows in the torque and the force files, drives its way from
// standstill, and its net force dies away at the top speed that the speed drives hold in
// it: the two plots tell the same story.
TEST(HandlingBands, EveryGearPullsFromStandstillUpToTheTopSpeedItHolds) {
  const Data& torque = gFiles.at("torque.dat");
  const Data& force = gFiles.at("force.dat");
  ASSERT_EQ(torque.values("gear"), force.values("gear"));
  ASSERT_EQ(torque.values("speed_kmh"), force.values("speed_kmh"));
  std::map<int, std::vector<std::vector<double>>> bands;  // speed, torque, force by gear
  for (std::size_t i = 0; i < torque.rows.size(); ++i)
    bands[static_cast<int>(torque.rows[i][0])].push_back(
        {torque.rows[i][1], torque.rows[i][2], force.rows[i][2]});
  ASSERT_EQ(bands.size(), 6u);
  for (int d = 0; d < 6; ++d) {
    const int gear = kDriveGears[d];
    SCOPED_TRACE("gear " + std::to_string(gear));
    const std::vector<std::vector<double>>& band = bands[gear];
    ASSERT_FALSE(band.empty());
    const double direction = gear > 0 ? 1.0 : -1.0;
    ASSERT_TRUE(
        std::is_sorted(band.begin(), band.end(), [](auto& a, auto& b) { return a[0] < b[0]; }));
    for (const std::vector<double>& point : band) {
      EXPECT_GE(direction * point[0], 0.0) << point[0];
      EXPECT_GT(point[1], 0.0) << point[0];
    }
    // From standstill, the end of the band nearest zero, the gear pushes the right way.
    const std::vector<double>& still = gear > 0 ? band.front() : band.back();
    EXPECT_EQ(still[0], 0.0);
    EXPECT_GT(direction * still[2], 0.0);
    // Where the force has died away, the drive in that gear alone levels off; the top gear,
    // slowest to get there, is on its way at the end of the drive.
    const auto weakest = std::min_element(band.begin(), band.end(), [](auto& a, auto& b) {
      return std::fabs(a[2]) < std::fabs(b[2]);
    });
    const double held = last(gFiles.at("speed.dat").values(kDrives[d]));
    if (gear == 4)
      EXPECT_LT(held, (*weakest)[0] + kSpeedTol);
    else
      EXPECT_NEAR(held, (*weakest)[0], kSpeedTol);
  }
}

constexpr double kRestHeight = 0.001;  // m from the height before the jump: at rest again
constexpr double kRestAngle = 0.1;     // deg of pitch and roll: at rest again
constexpr double kRestFor = 1.0;       // s at rest that ends the file
constexpr double kClearJump = 0.5;     // m the hull rises at least
constexpr double kClearTilt = 5.0;     // deg the off-centre kick tips the hull at least
constexpr double kTimeTol = 1.0e-3;    // s, the written times' rounding

// The jump lifts the settled hull well clear and tips it, and it comes back to rest at the
// height it started from, level. (The tool bounds how long it waits for that.)
TEST(HandlingJump, TheHullRisesTipsAndComesBackToRestWhereItWas) {
  const Data& jump = gFiles.at("jump.dat");
  ASSERT_FALSE(jump.rows.empty());
  const double rest = jump.rows.front()[1];
  double highest = rest, tilt = 0.0;
  for (const std::vector<double>& row : jump.rows) {  // time, height, pitch, roll
    SCOPED_TRACE(std::to_string(row[0]) + " s");
    EXPECT_TRUE(row[0] > 0.0 || std::fabs(row[1] - rest) <= kRestHeight) << "before the jump";
    highest = std::max(highest, row[1]);
    tilt = std::max({tilt, std::fabs(row[2]), std::fabs(row[3])});
    if (jump.rows.back()[0] - row[0] >= kRestFor - kTimeTol) continue;
    EXPECT_NEAR(row[1], rest, kRestHeight);
    EXPECT_NEAR(row[2], 0.0, kRestAngle);
    EXPECT_NEAR(row[3], 0.0, kRestAngle);
  }
  EXPECT_GT(highest, rest + kClearJump);
  EXPECT_GT(tilt, kClearTilt);
}

constexpr double kStopped = 0.01;    // of the held rate: stopped
constexpr double kStopWithin = 0.5;  // s after J comes up
constexpr double kYawTol = 0.01;     // deg, a turret at rest
constexpr double kSlowest = 10.0;    // deg/s a held turret turns at least

// Held, the turret turns at a good rate; released, it coasts a little further and stops.
// (How the rate rises while held, the turret's unit tests check.)
TEST(HandlingTraverse, RisesToASteadyRateWhileHeldAndCoastsToAStopAfter) {
  const Data& traverse = gFiles.at("traverse.dat");
  const std::vector<double> time = traverse.values("time_s"), held = traverse.values("j_held");
  const std::vector<double> rate = traverse.values("rate_degps"), yaw = traverse.values("yaw_deg");
  const std::size_t release = std::find(held.begin(), held.end(), 0.0) - held.begin();
  ASSERT_GT(release, 1u);
  ASSERT_LT(release, held.size());
  EXPECT_EQ(rate.front(), 0.0);
  const double steady = rate[release - 1];
  EXPECT_GT(steady, kSlowest);
  for (std::size_t i = 1; i < held.size(); ++i) {
    ASSERT_EQ(held[i], i < release ? 1.0 : 0.0) << time[i] << " s";
    EXPECT_TRUE(time[i] < time[release] + kStopWithin || std::fabs(rate[i]) < kStopped * steady)
        << time[i] << " s";
  }
  EXPECT_GT(yaw.back(), yaw[release] + kYawTol);          // coasts
  EXPECT_NEAR(yaw.back(), yaw[yaw.size() - 2], kYawTol);  // and stops
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
