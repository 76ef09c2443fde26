#include "assets/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using assets::Settings;
using assets::SettingsRead;
namespace command = assets::command;

SettingsRead parse(const std::string& text) {
  return assets::parseSettings("s", reinterpret_cast<const unsigned char*>(text.data()),
                               text.size());
}

// What the settings hold, one "name value" part each, e.g. "mute 0", "key.throttle W".
std::vector<std::string> describe(const Settings& s) {
  char sensitivity[32];
  std::snprintf(sensitivity, sizeof sensitivity, "sensitivity %g",
                static_cast<double>(s.sensitivity));
  std::vector<std::string> parts = {sensitivity, "invert-look " + std::to_string(s.invertLook),
                                    "windowed " + std::to_string(s.windowed),
                                    "mute " + std::to_string(s.mute),
                                    "instruments " + std::to_string(s.instruments)};
  for (int c = 0; c < command::kCount; ++c)
    parts.push_back("key." + std::string(assets::commandName(c)) + " " +
                    assets::keyName(s.keys[c]));
  return parts;
}

// The defaults' description with the part of the same name as `change` replaced by it.
std::vector<std::string> defaultsWith(const std::string& change) {
  std::vector<std::string> parts = describe(Settings());
  for (std::string& part : parts)
    if (!change.empty() && part.substr(0, part.find(' ')) == change.substr(0, change.find(' ')))
      part = change;
  return parts;
}

// Each line alone: what it sets, or, skipped, the one complaint naming the file, line and why.
TEST(Settings, EachLineSetsItsValueOrIsNamedAndSkipped) {
  const struct {
    std::string line;
    const char* sets;  // the changed part of the description, or "" for none
    const char* why;   // the complaint's "s:1: ..." text, or "" for none
  } cases[] = {
      {"", "", ""},
      {"   # a comment", "", ""},
      {"sensitivity = 0.5", "sensitivity 0.5", ""},
      {"\tsensitivity=2.25   # faster", "sensitivity 2.25", ""},
      {"sensitivity = 20", "sensitivity 20", ""},
      {"sensitivity = 0.05", "sensitivity 0.05", ""},
      {"invert-look = yes", "invert-look 1", ""},
      {"windowed = true", "windowed 1", ""},
      {"mute = yes\r", "mute 1", ""},
      {"instruments = no", "instruments 0", ""},
      {"key.throttle = Up", "key.throttle Up", ""},
      {"key.throttle = up", "key.throttle Up", ""},
      {"key.fire = numpad0", "key.fire Numpad0", ""},
      {"key.instruments = F12", "key.instruments F12", ""},
      {"sensitivity = 0", "",
       "s:1: sensitivity '0' is not a number of degrees per pixel from 0.05 to 20"},
      {"sensitivity = 21", "",
       "s:1: sensitivity '21' is not a number of degrees per pixel from 0.05 to 20"},
      {"sensitivity = nan", "",
       "s:1: sensitivity 'nan' is not a number of degrees per pixel from 0.05 to 20"},
      {"mute = maybe", "", "s:1: mute 'maybe' is not yes or no"},
      {"speed = 3", "", "s:1: unknown name 'speed'"},
      {"mute yes", "", "s:1: not 'name = value'"},
      {"key.hover = X", "", "s:1: unknown command 'hover'"},
      {"key.throttle = Meta", "", "s:1: unknown key 'Meta'"},
      {"key.throttle = Escape", "", "s:1: Escape always quits and cannot be bound"},
      {"key.throttle = S", "", "s:1: S is also brake's key"},
      {"key.keys = H", "", "s:1: H is also instruments's key"},
      {"mute = yes\x01", "", "s:1: not text (a control byte)"},
      {std::string("mute\0= yes", 10), "",
       "s:1: a NUL byte: not a text file, so every line is skipped"},
  };
  for (const auto& c : cases) {
    const SettingsRead read = parse(c.line);
    EXPECT_EQ(describe(read.settings), defaultsWith(c.sets)) << c.line;
    if (*c.why == '\0') {
      EXPECT_TRUE(read.problems.empty()) << c.line << ": " << read.problems.front();
    } else {
      ASSERT_EQ(read.problems.size(), 1u) << c.line;
      EXPECT_EQ(read.problems[0], c.why);
    }
  }
}

// Several lines: each bad one named by its number while the rest count; a setting given
// twice keeps the first; keys may swap, and a key that would do two things is refused on
// the later line, the earlier binding kept.
TEST(Settings, LinesCountTogetherAndAKeyDoesOneThing) {
  const SettingsRead read = parse(
      "key.throttle = S\n"  // 1: swapped with brake on line 2
      "key.brake = W\n"     // 2
      "sensitivity = 3\n"   // 3
      "sensitivity = 4\n"   // 4: set twice
      "bogus\n"             // 5
      "key.jump = Up\n"     // 6
      "key.reset = Up\n"    // 7: Up is jump's already
      "key.fire = Q\n"      // 8: Q stays gear-up's
      "key.gear-up = Q");   // 9, no newline at the end
  const Settings& s = read.settings;
  EXPECT_EQ(s.keys[command::kThrottle], irr::KEY_KEY_S);
  EXPECT_EQ(s.keys[command::kBrake], irr::KEY_KEY_W);
  EXPECT_EQ(s.keys[command::kJump], irr::KEY_UP);
  EXPECT_EQ(s.keys[command::kReset], irr::KEY_KEY_R);
  EXPECT_EQ(s.keys[command::kFire], irr::KEY_KEY_V);
  EXPECT_EQ(s.keys[command::kGearUp], irr::KEY_KEY_Q);
  EXPECT_FLOAT_EQ(s.sensitivity, 3.0f);
  const std::vector<std::string> want = {
      "s:4: sensitivity is already set on line 3", "s:5: not 'name = value'",
      "s:9: Q is also fire's key",     // the later of the two lines giving Q goes first
      "s:8: Q is also gear-up's key",  // then fire's Q meets gear-up's own Q
      "s:7: Up is also jump's key"};
  std::vector<std::string> got = read.problems;
  EXPECT_EQ(got.size(), want.size());
  for (const std::string& w : want) EXPECT_NE(std::find(got.begin(), got.end(), w), got.end()) << w;
  for (std::size_t a = 0; a < s.keys.size(); ++a)
    for (std::size_t b = a + 1; b < s.keys.size(); ++b) EXPECT_NE(s.keys[a], s.keys[b]);
}

// A long, a huge and a binary file: bounded complaints, each naming its line, and the
// lines within the bounds still count.
TEST(Settings, LongLinesHugeAndBinaryFilesAreBounded) {
  const std::string longLine(assets::kMaxSettingsLine + 1, 'x');
  SettingsRead read =
      parse("mute = yes\n" + longLine + "\n" + std::string(assets::kMaxSettingsLine, ' ') + "\n");
  EXPECT_TRUE(read.settings.mute);
  ASSERT_EQ(read.problems.size(), 1u);
  EXPECT_EQ(read.problems[0], "s:2: longer than 200 bytes");

  std::string huge = "windowed = yes\n";
  while (huge.size() < assets::kMaxSettingsBytes) huge += "# filler\n";
  huge += std::string(1u << 20, 'y');
  read = parse(huge);
  EXPECT_TRUE(read.settings.windowed);
  ASSERT_EQ(read.problems.size(), 1u);
  const std::size_t lastWhole = 1 + (assets::kMaxSettingsBytes - 15) / 9;  // lines within
  EXPECT_EQ(read.problems[0], "s:" + std::to_string(lastWhole + 1) +
                                  ": the file goes on past 16384 bytes: this line and the "
                                  "rest are skipped");

  // Control bytes in text: a complaint a line, up to a bound, then a count of the rest.
  std::string controls;
  for (int i = 0; i < 4096; ++i) controls += static_cast<char>(1 + (i * 7919) % 255);
  read = parse(controls);
  EXPECT_EQ(describe(read.settings), describe(Settings()));
  EXPECT_EQ(read.problems.size(), assets::kMaxProblemsShown);
  EXPECT_GT(read.unshown, 0u);
  // A NUL byte anywhere: a binary file, one complaint, and its good lines do not count.
  read = parse("mute = yes\n\nwindowed = yes" + std::string(1, '\0') + std::string(4096, 'z'));
  EXPECT_EQ(describe(read.settings), describe(Settings()));
  EXPECT_EQ(read.problems,
            std::vector<std::string>{"s:3: a NUL byte: not a text file, so every line is skipped"});
}

// The default file's place, and loading: a missing default file is silent, a missing named
// one and a directory are named; a file's problems go to the stream with "ferrox: ".
TEST(Settings, FileIsFoundAndLoadedWithItsProblemsNamed) {
  EXPECT_EQ(assets::settingsPath("/x/conf", "/home/p"), "/x/conf/ferrox/settings");
  EXPECT_EQ(assets::settingsPath("relative", "/home/p"), "/home/p/.config/ferrox/settings");
  EXPECT_EQ(assets::settingsPath(nullptr, "/home/p"), "/home/p/.config/ferrox/settings");
  EXPECT_EQ(assets::settingsPath("", nullptr), "");

  const std::string dir = ::testing::TempDir();
  const std::string path = dir + "ferrox-settings-test";
  {
    std::ofstream out(path);
    out << "mute = yes\nkey.gear-up = U\nwhat\n";
  }
  std::FILE* err = std::tmpfile();
  const Settings s = assets::loadSettings(path, false, err);
  EXPECT_TRUE(s.mute);
  EXPECT_EQ(s.keys[command::kGearUp], irr::KEY_KEY_U);
  assets::loadSettings(dir + "ferrox-no-such-settings", false, err);
  assets::loadSettings(dir + "ferrox-no-such-settings", true, err);
  assets::loadSettings(dir, true, err);
  std::rewind(err);
  char text[4096] = {};
  text[std::fread(text, 1, sizeof text - 1, err)] = '\0';
  std::fclose(err);
  std::remove(path.c_str());
  EXPECT_EQ(std::string(text),
            "ferrox: " + path + ":3: not 'name = value'\n" + "ferrox: " + dir +
                "ferrox-no-such-settings: cannot read: No such file or directory; the "
                "defaults apply\n" +
                "ferrox: " + dir + ": cannot read: not a regular file; the defaults apply\n");
}

}  // namespace
