#include "runtime/Dasher.h"

#include <gtest/gtest.h>

#include <vector>

namespace runtime {
namespace {

TEST(DasherTest, GapsWithinTolerance) {
  struct Case {
    const char* name;
    std::vector<Fixed> dashes;
    bool useSecond;
    bool within;
  } cases[] = {
      {"[3 1] gap at tolerance", {3 << 16, 1 << 16}, false, true},
      {"[3 2] gap too wide", {3 << 16, 2 << 16}, false, false},
      {"[2] odd tests every element", {2 << 16}, false, false},
      {"[2] with the wider tolerance", {2 << 16}, true, true},
      {"[1 1 5 1] second gap", {1 << 16, 1 << 16, 5 << 16, 1 << 16}, false, true},
      {"[1 1 1 3] last gap", {1 << 16, 1 << 16, 1 << 16, 3 << 16}, true, false},
      {"empty", {}, false, true},
      {"negative gap", {1 << 16, -(5 << 16)}, false, true},
  };
  for (const Case& c : cases) {
    Dasher dasher{c.dashes, 1 << 16, 2 << 16};
    EXPECT_EQ(dasher.GapsWithin(c.useSecond), c.within) << c.name;
  }
}

}  // namespace
}  // namespace runtime
