#include "app/options.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// Each option alone and together, in any order and repeated; anything else is not
// understood, wherever it stands, and the first such argument is named.
TEST(Options, EachOptionIsReadAndTheFirstArgumentNotUnderstoodIsNamed) {
  // The arguments; the options read, h(elp), v(ersion), w(indowed), V(erbose), m(ute), and ?
  // when one is not understood; the first not understood.
  const std::tuple<std::vector<const char*>, const char*, const char*> cases[] = {
      {{}, "", ""},
      {{"--help"}, "h", ""},
      {{"--version"}, "v", ""},
      {{"--verbose", "--windowed", "--windowed", "--mute"}, "wVm", ""},
      {{"-h"}, "h", ""},
      {{"-help"}, "?", "-help"},
      {{"--windowed", "map", "--fast"}, "w?", "map"},
      {{"--help", "--bogus"}, "h?", "--bogus"}};
  for (auto [args, read, unknown] : cases) {
    args.insert(args.begin(), "ferrox");
    const Options o = parseOptions(static_cast<int>(args.size()), args.data());
    const std::pair<bool, char> flags[] = {{o.help, 'h'},     {o.version, 'v'},
                                           {o.windowed, 'w'}, {o.verbose, 'V'},
                                           {o.mute, 'm'},     {!o.understood, '?'}};
    std::string got;
    for (const auto& [flag, name] : flags)
      if (flag) got += name;
    EXPECT_EQ(got, read) << unknown;
    EXPECT_EQ(o.unknown, unknown);
  }
}

// --settings takes the next argument as its file, whatever it looks like; without one the
// command line is not understood and the option is named as missing its value.
TEST(Options, SettingsTakesTheNextArgumentAsItsFile) {
  const char* named[] = {"ferrox", "--settings", "--mute", "--windowed"};
  Options o = parseOptions(4, named);
  EXPECT_TRUE(o.understood);
  EXPECT_EQ(o.settings, "--mute");
  EXPECT_FALSE(o.mute);
  EXPECT_TRUE(o.windowed);
  const char* missing[] = {"ferrox", "--mute", "--settings"};
  o = parseOptions(3, missing);
  EXPECT_FALSE(o.understood);
  EXPECT_TRUE(o.valueMissing);
  EXPECT_EQ(o.unknown, "--settings");
  const char* unknownFirst[] = {"ferrox", "--fast", "--settings"};
  o = parseOptions(3, unknownFirst);
  EXPECT_FALSE(o.valueMissing);
  EXPECT_EQ(o.unknown, "--fast");
}

}  // namespace

namespace {

// The seed, the recording and the replay take a value each; options that do not go together,
// or a value that is not one, are a mistake named in one line.
TEST(Options, RecordingOptionsTakeTheirValuesAndGoTogetherOnlyAsTheyMay) {
  struct Case {
    std::vector<const char*> args;
    const char* mistake;  // its start; "" for none
  };
  const Case cases[] = {
      {{"--seed", "4294967295", "--record", "a.fxr"}, ""},
      {{"--replay", "a.fxr", "--headless", "--windowed"}, ""},
      {{"--seed", "4294967296"}, "--seed takes a number from 0 to 4294967295, not '4294967296'"},
      {{"--seed", "-1"}, "--seed takes a number"},
      {{"--seed", "12x"}, "--seed takes a number"},
      {{"--record"}, "--record needs a value"},
      {{"--replay", ""}, "--replay needs a value"},
      {{"--replay", "a", "--record", "b"}, "--record and --replay go one at a time"},
      {{"--replay", "a", "--seed", "3"}, "--seed goes without --replay"},
      {{"--headless"}, "--headless goes with --replay FILE"},
  };
  for (Case c : cases) {
    c.args.insert(c.args.begin(), "ferrox");
    const Options o = parseOptions(static_cast<int>(c.args.size()), c.args.data());
    EXPECT_EQ(o.mistake.rfind(c.mistake, 0), 0u) << o.mistake << " / " << c.mistake;
    EXPECT_TRUE(o.understood);
    if (*c.mistake != '\0') continue;
    EXPECT_EQ(o.seedGiven, o.seed == 4294967295u);
    EXPECT_EQ(o.record, o.seedGiven ? "a.fxr" : "");
    EXPECT_EQ(o.replay, o.seedGiven ? "" : "a.fxr");
    EXPECT_EQ(o.headless, !o.seedGiven);
  }
}

}  // namespace
