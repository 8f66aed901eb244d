#include "raster/ScopedRestore.h"

#include <gtest/gtest.h>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "tests/support/RaisedCode.h"

namespace raster {
namespace {

TEST(ScopedRestoreTest, PutsTheTargetBackAtScopeEndAndWhenAThrowPasses) {
  runtime::LibraryContext context;
  runtime::Matrix ctm{1, 2, 3, 4, 5, 6};
  const runtime::Matrix saved = ctm;
  const runtime::Matrix scaled{7, 0, 0, 7, 0, 0};
  {
    ScopedRestore24 restore(&context, &ctm, scaled);
    EXPECT_TRUE(ctm == scaled);
  }
  EXPECT_TRUE(ctm == saved);

  FiveWords state{{1, 2, 3, 4, 5}};
  TwoWords pair{{8, 9}};
  const auto code = testsupport::RaisedCode([&] {
    ScopedRestore20 five(&context, &state, FiveWords{{0, 0, 0, 0, 0}});
    ScopedRestore8 two(&context, &pair, TwoWords{{-1, -1}});
    EXPECT_EQ(state.words[4], 0);
    runtime::ThrowRuntime(runtime::kMalformed);
  });
  EXPECT_EQ(code, runtime::kMalformed);
  EXPECT_EQ(state.words[0], 1);
  EXPECT_EQ(state.words[4], 5);
  EXPECT_EQ(pair.words[1], 9);
}

}  // namespace
}  // namespace raster
