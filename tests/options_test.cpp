#include "options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Each option alone and together, in any order and repeated; anything else is not
// understood, wherever it stands, and the first such argument is named.
TEST(Options, EachOptionIsReadAndTheFirstArgumentNotUnderstoodIsNamed) {
  const struct {
    std::vector<const char*> args;
    const char* read;  // h(elp), v(ersion), w(indowed), V(erbose), or ? naming `unknown`
    const char* unknown;
  } cases[] = {
      {{}, "", ""},
      {{"--help"}, "h", ""},
      {{"--version"}, "v", ""},
      {{"--verbose", "--windowed", "--windowed"}, "wV", ""},
      {{"--fullscreen"}, "?", "--fullscreen"},
      {{"-h"}, "?", "-h"},
      {{""}, "?", ""},
      {{"--Windowed"}, "?", "--Windowed"},
      {{"--windowed=1"}, "?", "--windowed=1"},
      {{"--windowed", "map", "--fast"}, "w?", "map"},
      {{"--help", "--bogus"}, "h?", "--bogus"},
  };
  for (auto c : cases) {
    c.args.insert(c.args.begin(), "ferrox");
    const Options o = parseOptions(static_cast<int>(c.args.size()), c.args.data());
    std::string read;
    for (const auto& [flag, name] : {std::pair{o.help, 'h'},
                                     {o.version, 'v'},
                                     {o.windowed, 'w'},
                                     {o.verbose, 'V'},
                                     {!o.understood, '?'}})
      if (flag) read += name;
    EXPECT_EQ(read, c.read) << c.unknown;
    EXPECT_EQ(o.unknown, c.unknown);
  }
}

}  // namespace
