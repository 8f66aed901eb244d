#include "raster/GlyphQuadCache.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/RaisedCode.h"

namespace raster {
namespace {

using runtime::FixedFromInt;
using runtime::kFixedOne;

GlyphRecord TestQuad(int x) {
  GlyphRecord record;
  record.origin = {FixedFromInt(x), 0};
  record.end = {FixedFromInt(x + 5), 0};
  record.boxLow = {FixedFromInt(x), -FixedFromInt(7)};
  record.boxHigh = {FixedFromInt(x + 5), 0};
  return record;
}

runtime::TextPosition QuadKey(uint32_t operation, uint32_t glyph) {
  runtime::TextPosition key;
  key.operation = operation;
  key.glyph = glyph;
  return key;
}

TEST(GlyphQuadCacheTest, SegmentsMoveByTheirOffsetsInTheFirstRunsSpace) {
  const Matrix identity{};
  const Matrix doubled{2 * kFixedOne, 0, 0, 2 * kFixedOne, 0, 0};
  std::vector<GlyphRecord> first = {TestQuad(0), TestQuad(5), TestQuad(10)};
  std::vector<GlyphRecord> second = {TestQuad(20), TestQuad(25)};
  std::vector<GlyphRecord> detached = {TestQuad(40)};
  RunSegment firstSegments[] = {{&identity, FixedFromInt(3), FixedFromInt(4), 2}, {&identity, 0, 0, 1}};
  RunSegment secondSegments[] = {{&doubled, FixedFromInt(1), 0, 2}};
  RunSegment detachedSegments[] = {{&identity, FixedFromInt(9), 0, 1}};
  CachedRun runs[] = {{{QuadKey(1, 0), QuadKey(2, 3)}, firstSegments, first},
                      {{QuadKey(2, 4), QuadKey(3, 0)}, secondSegments, second},
                      {{QuadKey(9, 0), QuadKey(9, 1)}, detachedSegments, detached}};
  GlyphQuadCache cache;
  cache.count = 5;
  EXPECT_EQ(cache.ReuseTranslated(runs, QuadKey(5, 0)), 0);  // outside the first run
  EXPECT_EQ(cache.ReuseTranslated(runs, QuadKey(2, 3)), GlyphQuadCache::kReused);
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
  std::vector<GlyphRecord> records = {TestQuad(0), TestQuad(5)};
  RunSegment mixed[] = {{&singular, 0, 0, 1}, {&identity, kFixedOne, 0, 1}};
  CachedRun runs[] = {{{QuadKey(1, 0), QuadKey(1, 9)}, mixed, records}};
  GlyphQuadCache cache;
  EXPECT_EQ(testsupport::RaisedCode([&] { cache.ReuseTranslated(runs, QuadKey(1, 1)); }), runtime::kMalformed);
  RunSegment overlong[] = {{&identity, kFixedOne, 0, 3}};
  CachedRun longRuns[] = {{{QuadKey(1, 0), QuadKey(1, 9)}, overlong, records}};
  EXPECT_EQ(testsupport::RaisedCode([&] { cache.ReuseTranslated(longRuns, QuadKey(1, 1)); }), runtime::kMalformed);
  EXPECT_TRUE(KeyRange::Contains({QuadKey(1, 0), QuadKey(1, 9)}, QuadKey(1, 9)));
  EXPECT_FALSE(KeyRange::Contains({QuadKey(1, 0), QuadKey(1, 9)}, QuadKey(1, 10)));
}

}  // namespace
}  // namespace raster
