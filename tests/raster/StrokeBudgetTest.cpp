// Stroking on cooperative threads: a stroke of a million segments (dashed
// or not) charges the work budget as it goes, yields, and can be cancelled
// part way.
#include <gtest/gtest.h>

#include "raster/PaintObject.h"
#include "raster/PathEdges.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ErrorTrap.h"
#include "tests/runtime/ThreadFixture.h"

namespace {

using runtime::FixedFromFloat;

class StrokeBudgetTest : public runtime::ThreadFixture {};

TEST_F(StrokeBudgetTest, AMillionSegmentStrokeYieldsAndCanBeCancelled) {
  for (const bool dashed : {false, true}) {
    bool started = false;
    bool finished = false;
    runtime::ErrorRecord seen{runtime::kRuntimeDomain, 99, 0};
    runtime::ClosureThread* victim = Start([&](runtime::LibraryContext* ctx) {
      runtime::ArenaAllocator arena(ctx, 1 << 20, 4096);
      raster::StoredPath path(arena, 1'000'002);
      path.MoveTo({0, 0});
      for (int i = 0; i < 1'000'000; ++i)
        path.LineTo({FixedFromFloat((i % 1000) * 0.1), FixedFromFloat(i % 2 == 0 ? 10 : 90)});
      runtime::StrokeStyle style(ctx);
      style.width = FixedFromFloat(2);
      style.lineJoin = runtime::StrokeStyle::kRoundJoin;
      if (dashed) {
        const runtime::Fixed pattern[] = {FixedFromFloat(3), FixedFromFloat(1)};
        style.SetDash(pattern, 0);
      }
      started = true;
      runtime::ErrorTrap trap(ctx);
      if (!trap.Run([&] {
            raster::PaintObject::CreateStroke(ctx, arena, {0, 0, 128, 128}, path.Points(), style, {});
            finished = true;
          })) {
        seen = trap.Held();
        trap.Rethrow();
      }
    });
    scheduler.RunUntil([&] { return started; });
    int polls = 0;
    scheduler.RunUntil([&] { return ++polls > 5; });
    EXPECT_EQ(scheduler.Kill(victim), 1) << dashed;
    EXPECT_FALSE(finished) << dashed;
    EXPECT_EQ(seen.code, runtime::kCancelled) << dashed;
  }
}

}  // namespace
