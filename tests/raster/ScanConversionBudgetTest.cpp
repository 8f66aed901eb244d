// Scan conversion on cooperative threads: it yields by its work budget
// without changing a byte, and a path of millions of segments can be
// cancelled part way.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "raster/PathEdges.h"
#include "raster/PathScanConverter.h"
#include "runtime/ArenaAllocator.h"
#include "tests/raster/CoverageRaster.h"
#include "tests/runtime/ThreadFixture.h"

namespace {

using runtime::FixedFromFloat;
using runtime::FixedPoint;

class ScanConversionBudgetTest : public runtime::ThreadFixture {
 protected:
  // A spiky closed shape with curves, in a fresh arena of the context.
  std::vector<uint8_t> Fill(runtime::LibraryContext* ctx) {
    runtime::ArenaAllocator arena(ctx, 16384, 4096);
    raster::StoredPath path(arena);
    for (int i = 0; i < 40; ++i) {
      const double angle = i * M_PI / 20, r = i % 2 == 0 ? 60 : 25;
      const FixedPoint p{FixedFromFloat(64 + r * std::cos(angle)), FixedFromFloat(64 + r * std::sin(angle))};
      if (i == 0) {
        path.MoveTo(p);
      } else if (i % 3 == 0) {
        path.CurveTo({p.x + 0x40000, p.y}, {p.x, p.y + 0x40000}, p);
      } else {
        path.LineTo(p);
      }
    }
    path.Close();
    raster::PathScanConverter converter(ctx, arena, path.Points(), runtime::Matrix{},
                                        {0, 0, 128, 128}, false);
    return testsupport::RenderCoverage(converter);
  }
};

TEST_F(ScanConversionBudgetTest, YieldingAtEveryChargeGivesTheSameBytes) {
  context.threadingEnabled = false;
  const std::vector<uint8_t> expected = Fill(&context);
  context.threadingEnabled = true;

  std::vector<uint8_t> yielded;
  bool done = false;
  int turns = 0;
  Start([&](runtime::LibraryContext* ctx) {
    ctx->workBudget = 1;
    yielded = Fill(ctx);
    done = true;
  });
  // A second thread leaves the budget at 1 on each of its turns (switching
  // without the yield's reset), so that every charge of the fill yields.
  Start([&](runtime::LibraryContext* ctx) {
    while (!done) {
      ++turns;
      ctx->workBudget = 1;
      scheduler.ThreadSwitch(nullptr);
    }
  });
  scheduler.RunUntil([&] { return done; });
  EXPECT_GT(turns, 1000);
  EXPECT_EQ(yielded, expected);
}

TEST_F(ScanConversionBudgetTest, MillionsOfSegmentsCanBeCancelled) {
  bool finished = false;
  const runtime::ErrorRecord seen = CancelPartWay([&](runtime::LibraryContext* ctx, const std::function<void()>& ready) {
    runtime::ArenaAllocator arena(ctx, 1 << 20, 4096);
    raster::StoredPath path(arena, 2'000'002);
    path.MoveTo({0, 0});
    for (int i = 0; i < 2'000'000; ++i) {
      path.LineTo({FixedFromFloat((i % 1000) * 0.1), FixedFromFloat(i % 2 == 0 ? 10 : 90)});
    }
    path.Close();
    ready();
    raster::PathScanConverter converter(ctx, arena, path.Points(), runtime::Matrix{}, {0, 0, 128, 128}, false);
    finished = true;
  });
  EXPECT_FALSE(finished);
  EXPECT_EQ(seen.code, runtime::kCancelled);
}

}  // namespace
