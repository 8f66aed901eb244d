// Stroking on cooperative threads: a stroke of a million segments (dashed
// or not) charges the work budget as it goes, yields, and can be cancelled
// part way.
#include <gtest/gtest.h>

#include <functional>

#include "raster/PaintObject.h"
#include "raster/PathEdges.h"
#include "runtime/ArenaAllocator.h"
#include "tests/runtime/ThreadFixture.h"

namespace {

class StrokeBudgetTest : public runtime::ThreadFixture {};

TEST_F(StrokeBudgetTest, AMillionSegmentStrokeYieldsAndCanBeCancelled) {
  for (const bool dashed : {false, true}) {
    bool finished = false;
    const runtime::ErrorRecord seen =
        CancelPartWay([&](runtime::LibraryContext* ctx, const std::function<void()>& ready) {
          runtime::ArenaAllocator arena(ctx, 1 << 20, 4096);
          raster::StoredPath path(arena, 1'000'002);
          path.MoveTo({0, 0});
          for (int i = 0; i < 1'000'000; ++i)
            path.LineTo({runtime::FixedFromFloat((i % 1000) * 0.1), runtime::FixedFromFloat(i % 2 == 0 ? 10 : 90)});
          runtime::StrokeStyle style(ctx);
          style.width = runtime::FixedFromFloat(2);
          style.lineJoin = runtime::StrokeStyle::kRoundJoin;
          if (dashed) {
            const runtime::Fixed pattern[] = {runtime::FixedFromFloat(3), runtime::FixedFromFloat(1)};
            style.SetDash(pattern, 0);
          }
          ready();
          raster::PaintObject::CreateStroke(ctx, arena, {0, 0, 128, 128}, path.Points(), style, {});
          finished = true;
        });
    EXPECT_FALSE(finished) << dashed;
    EXPECT_EQ(seen.code, runtime::kCancelled) << dashed;
  }
}

}  // namespace
