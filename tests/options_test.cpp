#include "options.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

Options parse(std::vector<const char*> args) {
  args.insert(args.begin(), "ferrox");
  return parseOptions(static_cast<int>(args.size()), args.data());
}

TEST(Options, EachOptionAloneAndTogether) {
  const Options none = parse({});
  EXPECT_TRUE(none.understood);
  EXPECT_FALSE(none.help || none.version || none.windowed || none.verbose);
  EXPECT_TRUE(parse({"--help"}).help);
  EXPECT_TRUE(parse({"--version"}).version);
  const Options both = parse({"--verbose", "--windowed"});
  EXPECT_TRUE(both.understood);
  EXPECT_TRUE(both.windowed && both.verbose);
  EXPECT_FALSE(both.help || both.version);
  EXPECT_TRUE(parse({"--windowed", "--windowed"}).windowed);
}

// Anything else is not understood, wherever it stands, and the first such argument is named.
TEST(Options, AnythingElseIsNotUnderstoodAndTheFirstIsNamed) {
  const struct {
    std::vector<const char*> args;
    const char* named;
  } cases[] = {
      {{"--fullscreen"}, "--fullscreen"},
      {{"-h"}, "-h"},
      {{""}, ""},
      {{"--Windowed"}, "--Windowed"},
      {{"--windowed=1"}, "--windowed=1"},
      {{"--windowed", "map", "--fast"}, "map"},
      {{"--help", "--bogus"}, "--bogus"},
  };
  for (const auto& c : cases) {
    const Options o = parse(c.args);
    EXPECT_FALSE(o.understood) << c.named;
    EXPECT_EQ(o.unknown, c.named);
  }
}

}  // namespace
