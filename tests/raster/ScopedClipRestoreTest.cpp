#include <gtest/gtest.h>

#include "raster/ScopedRestore.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "tests/support/RaisedCode.h"

namespace {

using runtime::FixedFromInt;

TEST(ScopedClipRestoreTest, TheClipAndItsInverseBoundsComeBack) {
  runtime::LibraryContext context;
  runtime::InverseBounds target;
  target.first = {2 * runtime::kFixedOne, 0, 0, 2 * runtime::kFixedOne, 0, 0};
  target.UpdateInverse();
  target.rect = {0, 0, FixedFromInt(10), FixedFromInt(10)};
  target.Recompute();
  const runtime::Rect rect = target.rect, bounds = target.bounds;
  auto narrow = [&] {
    target.rect = {FixedFromInt(2), FixedFromInt(2), FixedFromInt(4), FixedFromInt(4)};
    target.Recompute();
  };
  {
    raster::ScopedClipRestore restore(&context, &target);
    narrow();
    EXPECT_EQ(target.bounds.x1, FixedFromInt(2));
  }
  EXPECT_EQ(target.rect, rect);
  EXPECT_EQ(target.bounds, bounds);
  EXPECT_EQ(target.bounds.x1, FixedFromInt(5));

  // A throw passing the record puts it back; so does an early Restore,
  // after which the scope's end does nothing more.
  const auto code = testsupport::RaisedCode([&] {
    raster::ScopedClipRestore restore(&context, &target);
    narrow();
    runtime::ThrowRuntime(runtime::kMalformed);
  });
  EXPECT_EQ(code, runtime::kMalformed);
  EXPECT_EQ(target.bounds, bounds);
  {
    raster::ScopedClipRestore restore(&context, &target);
    narrow();
    restore.Restore();
    EXPECT_EQ(target.rect, rect);
    narrow();
  }
  EXPECT_EQ(target.bounds.x1, FixedFromInt(2));
}

}  // namespace
