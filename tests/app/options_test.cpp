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
      {{"-h"}, "?", "-h"},
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

}  // namespace
