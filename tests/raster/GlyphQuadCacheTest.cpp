#include "raster/GlyphQuadCache.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/RaisedCode.h"

namespace raster {
namespace {

using runtime::FixedFromInt;
using runtime::kFixedOne;

GlyphRecord Quad(int x) {
  GlyphRecord record;
  record.origin = {FixedFromInt(x), 0};
  record.end = {FixedFromInt(x + 5), 0};
  record.boxLow = {FixedFromInt(x), -FixedFromInt(7)};
  record.boxHigh = {FixedFromInt(x + 5), 0};
  return record;
}

runtime::TextPosition Key(uint32_t operation, uint32_t glyph) {
  runtime::TextPosition key;
  key.operation = operation;
  key.glyph = glyph;
  return key;
}

TEST(GlyphQuadCacheTest, SegmentsMoveByTheirOffsetsInTheFirstRunsSpace) {
  const Matrix identity{};
  const Matrix doubled{2 * kFixedOne, 0, 0, 2 * kFixedOne, 0, 0};
  std::vector<GlyphRecord> first = {Quad(0), Quad(5), Quad(10)};
  std::vector<GlyphRecord> second = {Quad(20), Quad(25)};
  std::vector<GlyphRecord> detached = {Quad(40)};
  RunSegment firstSegments[] = {{&identity, FixedFromInt(3), FixedFromInt(4), 2}, {&identity, 0, 0, 1}};
  RunSegment secondSegments[] = {{&doubled, FixedFromInt(1), 0, 2}};
  RunSegment detachedSegments[] = {{&identity, FixedFromInt(9), 0, 1}};
  CachedRun runs[] = {{{Key(1, 0), Key(2, 3)}, firstSegments, first},
                      {{Key(2, 4), Key(3, 0)}, secondSegments, second},
                      {{Key(9, 0), Key(9, 1)}, detachedSegments, detached}};
  GlyphQuadCache cache;
  cache.count = 5;
  EXPECT_EQ(cache.ReuseTranslated(runs, Key(5, 0)), 0);  // outside the first run
  EXPECT_EQ(cache.ReuseTranslated(runs, Key(2, 3)), GlyphQuadCache::kReused);
  EXPECT_EQ(first[0].origin, (FixedPoint{FixedFromInt(3), FixedFromInt(4)}));
  EXPECT_EQ(first[1].boxLow, (FixedPoint{FixedFromInt(8), -FixedFromInt(3)}));
  EXPECT_EQ(first[2].origin, (FixedPoint{FixedFromInt(10), 0}));  // offset (0, 0)
  // Measured under a doubled matrix, one unit is two in the first's space.
  EXPECT_EQ(second[0].origin, (FixedPoint{FixedFromInt(22), 0}));
  // The run that does not follow on is left alone.
  EXPECT_EQ(detached[0].origin, (FixedPoint{FixedFromInt(40), 0}));
  EXPECT_EQ(first[0].FlagByte(), GlyphRecord::kSegmentStart);
  EXPECT_EQ(first[2].FlagByte(), GlyphRecord::kSegmentStart);
  EXPECT_EQ(second[0].FlagByte(), GlyphRecord::kSegmentStart);
  EXPECT_TRUE(cache.changed);
  EXPECT_EQ(cache.count, 0u);
  EXPECT_EQ(cache.bounds, runtime::kEmptyBoundsStart);
}

TEST(GlyphQuadCacheTest, SingularMatricesAndOverlongSegmentsAreMalformed) {
  const Matrix singular{0, 0, 0, 0, 0, 0};
  const Matrix identity{};
  std::vector<GlyphRecord> records = {Quad(0), Quad(5)};
  RunSegment mixed[] = {{&singular, 0, 0, 1}, {&identity, kFixedOne, 0, 1}};
  CachedRun runs[] = {{{Key(1, 0), Key(1, 9)}, mixed, records}};
  GlyphQuadCache cache;
  EXPECT_EQ(testsupport::RaisedCode([&] { cache.ReuseTranslated(runs, Key(1, 1)); }), runtime::kMalformed);
  RunSegment overlong[] = {{&identity, kFixedOne, 0, 3}};
  CachedRun longRuns[] = {{{Key(1, 0), Key(1, 9)}, overlong, records}};
  EXPECT_EQ(testsupport::RaisedCode([&] { cache.ReuseTranslated(longRuns, Key(1, 1)); }), runtime::kMalformed);
  EXPECT_TRUE(KeyRange::Contains({Key(1, 0), Key(1, 9)}, Key(1, 9)));
  EXPECT_FALSE(KeyRange::Contains({Key(1, 0), Key(1, 9)}, Key(1, 10)));
}

}  // namespace
}  // namespace raster
