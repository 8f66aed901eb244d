// Long glyph runs on cooperative threads: placing and composing 10,000
// glyphs charges the work budget and yields, and such a run can be
// cancelled part way.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "raster/GlyphMaskSource.h"
#include "raster/GlyphRun.h"
#include "runtime/ArenaAllocator.h"
#include "tests/raster/StubFont.h"
#include "tests/runtime/ThreadFixture.h"

namespace {

using runtime::FixedFromInt;

class GlyphRunBudgetTest : public runtime::ThreadFixture {
 protected:
  rastertest::StubFont font;

  // 10,000 glyphs in 100 lines, placed and composed; returns the summed
  // coverage of the mask.
  uint64_t PlaceAndCompose(runtime::LibraryContext* ctx) {
    runtime::ArenaAllocator arena(ctx, 1 << 16, 4096);
    raster::TextState text;
    text.font = &font;
    text.fontSize = FixedFromInt(4);
    const std::string line(100, 'A');
    for (int i = 0; i < 100; ++i) {
      // Each line starts again at x = 0, 4 pixels further down.
      raster::GlyphRun lineRun(ctx, arena, text, {runtime::kFixedOne, 0, 0, runtime::kFixedOne, 0, FixedFromInt(4 * i)},
                               {});
      lineRun.ShowString(reinterpret_cast<const uint8_t*>(line.data()), 100);
      for (const raster::GlyphRecord& record : lineRun.Records()) records.push_back(record);
    }
    raster::GlyphMaskSource mask(ctx, arena, {0, 0, 256, 512}, font, {FixedFromInt(4), 0, 0, FixedFromInt(4), 0, 0},
                                 records);
    uint64_t sum = 0;
    for (int32_t y = 0; y < 512; ++y) {
      mask.BeginRow(y);
      for (int32_t x = 0; x < 256; ++x) sum += mask.CoverageAt(x);
    }
    return sum;
  }
  std::vector<raster::GlyphRecord> records;
};

TEST_F(GlyphRunBudgetTest, TenThousandGlyphsYieldAndGiveTheSameMask) {
  context.threadingEnabled = false;
  const uint64_t expected = PlaceAndCompose(&context);
  records.clear();
  context.threadingEnabled = true;

  uint64_t yielded = 0;
  bool done = false;
  int turns = 0;
  Start([&](runtime::LibraryContext* ctx) {
    yielded = PlaceAndCompose(ctx);
    done = true;
  });
  // A second thread counts how often the first gave way.
  Start([&](runtime::LibraryContext* ctx) {
    while (!done) {
      ++turns;
      ctx->workBudget = 1;
      scheduler.ThreadSwitch(nullptr);
    }
  });
  scheduler.RunUntil([&] { return done; });
  EXPECT_GT(turns, 100);
  EXPECT_EQ(yielded, expected);
  EXPECT_GT(expected, 0u);
}

TEST_F(GlyphRunBudgetTest, ALongRunCanBeCancelled) {
  bool finished = false;
  const runtime::ErrorRecord seen = CancelPartWay([&](runtime::LibraryContext* ctx, const std::function<void()>& ready) {
    runtime::ArenaAllocator arena(ctx, 1 << 16, 4096);
    raster::TextState text;
    text.font = &font;
    text.fontSize = FixedFromInt(4);
    const std::string many(1'000'000, 'A');
    ready();
    raster::GlyphRun run(ctx, arena, text, {}, {});
    run.ShowString(reinterpret_cast<const uint8_t*>(many.data()), static_cast<uint32_t>(many.size()));
    finished = true;
  });
  EXPECT_FALSE(finished);
  EXPECT_EQ(seen.code, runtime::kCancelled);
}

}  // namespace
