#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "runtime/Region.h"
#include "tests/support/CaughtError.h"

namespace runtime {
namespace {

using testsupport::RuntimeCodeOf;

struct ExpectedBand {
  int32_t y0, y1;
  std::vector<RegionSpan> spans;
};

std::vector<ExpectedBand> BandsOf(const Region& region) {
  std::vector<ExpectedBand> bands;
  for (uint32_t i = 0; i < region.BandCount(); ++i) {
    const RegionBand band = region.Band(i);
    bands.push_back({band.y0, band.y1, {band.spans.begin(), band.spans.end()}});
  }
  return bands;
}

void ExpectBands(const Region& region, const std::vector<ExpectedBand>& expected) {
  const std::vector<ExpectedBand> actual = BandsOf(region);
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(actual[i].y0, expected[i].y0);
    EXPECT_EQ(actual[i].y1, expected[i].y1);
    EXPECT_EQ(actual[i].spans, expected[i].spans);
  }
}

// A region as the union of rectangles.
void Build(Region& region, std::initializer_list<IntRect> rects) {
  region.Clear();
  Region piece(region.Context());
  for (const IntRect& r : rects) {
    piece.FromRect(r);
    region.CombineInPlace(piece, RegionOp::kUnion);
  }
}

class RegionTest : public ::testing::Test {
 protected:
  LibraryContext context;
};

TEST_F(RegionTest, FromRect) {
  Region region(&context);
  region.FromRect({0, 0, 10, 10});
  ExpectBands(region, {{0, 10, {{0, 10, 1}}}});
  EXPECT_EQ(region.Bounds(), (IntRect{0, 0, 10, 10}));
  region.FromRect({5, 7, 5, 9});
  EXPECT_FALSE(region.HasBands());
  EXPECT_EQ(region.Bounds(), (IntRect{5, 7, 5, 9}));
}

TEST_F(RegionTest, CombineModes) {
  struct Case {
    const char* name;
    std::initializer_list<IntRect> a, b;
    RegionOp op;
    std::vector<ExpectedBand> bands;
    IntRect bounds;
  };
  const Case cases[] = {
      {"union of touching squares is one span", {{0, 0, 10, 10}}, {{10, 0, 20, 10}},
       RegionOp::kUnion, {{0, 10, {{0, 20, 1}}}}, {0, 0, 20, 10}},
      {"union side by side keeps a zero gap span", {{0, 0, 10, 10}}, {{20, 0, 30, 10}},
       RegionOp::kUnion, {{0, 10, {{0, 10, 1}, {10, 20, 0}, {20, 30, 1}}}}, {0, 0, 30, 10}},
      {"disjoint intersection is empty", {{0, 0, 10, 10}}, {{20, 20, 30, 30}},
       RegionOp::kIntersection, {}, {0, 0, 0, 0}},
      {"overlapping intersection", {{0, 0, 10, 10}}, {{5, 5, 15, 15}}, RegionOp::kIntersection,
       {{5, 10, {{5, 10, 1}}}}, {5, 5, 10, 10}},
      {"exclusive or of overlapping squares", {{0, 0, 10, 10}}, {{5, 5, 15, 15}},
       RegionOp::kExclusiveOr,
       {{0, 5, {{0, 10, 1}}}, {5, 10, {{0, 5, 1}, {5, 10, 0}, {10, 15, 1}}}, {10, 15, {{5, 15, 1}}}},
       {0, 0, 15, 15}},
      {"difference", {{0, 0, 10, 10}}, {{5, 5, 15, 15}}, RegionOp::kDifference,
       {{0, 5, {{0, 10, 1}}}, {5, 10, {{0, 5, 1}}}}, {0, 0, 10, 10}},
      {"stacked equal bands merge", {{0, 0, 10, 5}}, {{0, 5, 10, 10}}, RegionOp::kUnion,
       {{0, 10, {{0, 10, 1}}}}, {0, 0, 10, 10}},
      {"a zero band between two is an empty band", {{0, 0, 10, 5}}, {{0, 8, 10, 10}},
       RegionOp::kUnion, {{0, 5, {{0, 10, 1}}}, {5, 8, {}}, {8, 10, {{0, 10, 1}}}}, {0, 0, 10, 10}},
      {"union with an empty region", {{3, 4, 8, 9}}, {}, RegionOp::kUnion,
       {{4, 9, {{3, 8, 1}}}}, {3, 4, 8, 9}},
      {"difference leaving only the bottom", {{0, 0, 10, 10}}, {{0, 0, 10, 6}},
       RegionOp::kDifference, {{6, 10, {{0, 10, 1}}}}, {0, 6, 10, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Region a(&context), b(&context), out(&context);
    Build(a, c.a);
    Build(b, c.b);
    out.flags = 7;
    Region::Combine(out, a, b, c.op);
    ExpectBands(out, c.bands);
    EXPECT_EQ(out.Bounds(), c.bounds);
    EXPECT_EQ(out.flags, 0u);
  }
}

TEST_F(RegionTest, CombiningARegionWithItself) {
  Region a(&context);
  Build(a, {{0, 0, 10, 10}, {20, 5, 30, 15}});
  Region copy(&context);
  copy.Copy(a);
  Region::Combine(a, a, a, RegionOp::kDifference);
  EXPECT_FALSE(a.HasBands());
  EXPECT_EQ(a.Bounds(), (IntRect{}));
  copy.CombineInPlace(copy, RegionOp::kUnion);
  Region expected(&context);
  Build(expected, {{0, 0, 10, 10}, {20, 5, 30, 15}});
  ExpectBands(copy, BandsOf(expected));
}

TEST_F(RegionTest, AppendBandMergingRules) {
  Region region(&context);
  const RegionSpan zero[] = {{0, 10, 0}, {12, 12, 1}};
  const RegionSpan one[] = {{0, 10, 1}};
  const RegionSpan two[] = {{0, 4, 1}, {4, 6, 0}, {6, 10, 1}};
  region.AppendBand(0, 2, zero);  // before the first band: dropped
  region.AppendBand(2, 4, one);
  region.AppendBand(4, 6, one);   // equal: lengthens
  region.AppendBand(6, 7, zero);  // gap
  region.AppendBand(7, 9, one);
  region.AppendBand(9, 9, two);   // no rows: ignored
  region.AppendBand(12, 13, two); // starts below the last: empty band first
  region.AppendBand(13, 20, {});  // trailing zero: nothing
  ExpectBands(region, {{2, 6, {{0, 10, 1}}},
                       {6, 7, {}},
                       {7, 9, {{0, 10, 1}}},
                       {9, 12, {}},
                       {12, 13, {{0, 4, 1}, {4, 6, 0}, {6, 10, 1}}}});
  EXPECT_EQ(region.Bounds(), (IntRect{0, 2, 10, 13}));
  const IntRect incremental = region.Bounds();
  region.UpdateBounds();
  EXPECT_EQ(region.Bounds(), incremental);

  // A band read back from the region itself can be appended again.
  region.AppendBand(20, 21, region.Band(0).spans);
  EXPECT_EQ(region.Band(region.BandCount() - 1).spans.size(), 1u);

  const RegionSpan overlapping[] = {{0, 5, 1}, {4, 8, 1}};
  const RegionSpan reversed[] = {{5, 2, 1}};
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { region.AppendBand(30, 31, overlapping); }), 2);
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { region.AppendBand(30, 31, reversed); }), 2);
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { region.AppendBand(0, 1, one); }), 2);
}

TEST_F(RegionTest, Lookups) {
  Region region(&context);
  Build(region, {{0, 0, 10, 10}, {20, 0, 30, 10}, {0, 20, 5, 25}});
  RegionBand band;
  ASSERT_TRUE(region.FindBand(0, band));
  EXPECT_EQ(band.y1, 10);
  EXPECT_FALSE(region.FindBand(10, band) && band.spans.size() != 0);
  EXPECT_FALSE(region.FindBand(25, band));
  EXPECT_FALSE(region.FindBand(-1, band));
  ASSERT_TRUE(region.FindBand(9, band));
  EXPECT_EQ(band.FindSpan(0)->value, 1);
  EXPECT_EQ(band.FindSpan(15)->value, 0);  // the gap span
  EXPECT_EQ(band.FindSpan(30), nullptr);
  EXPECT_EQ(band.NextBoundary(-5), 0);
  EXPECT_EQ(band.NextBoundary(10), 20);
  EXPECT_EQ(band.NextBoundary(29), 30);
  EXPECT_EQ(band.NextBoundary(30), 0x7fffffff);
  EXPECT_EQ(region.NextBandBoundary(-3), 0);
  EXPECT_EQ(region.NextBandBoundary(0), 10);
  EXPECT_EQ(region.NextBandBoundary(12), 20);
  EXPECT_EQ(region.NextBandBoundary(25), 0x7fffffff);
  EXPECT_TRUE(RegionBand::AllSpansZero({}));
}

// Every mode against a pixel grid, on random unions of rectangles; the
// result must also be compact.
TEST_F(RegionTest, CombineMatchesPixelGrid) {
  constexpr int kSize = 24;
  std::mt19937 random(8);
  auto randomRegion = [&](Region& region, bool grid[kSize][kSize]) {
    region.Clear();
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) grid[y][x] = false;
    Region piece(&context);
    for (int n = static_cast<int>(random() % 4); n > 0; --n) {
      int x0 = static_cast<int>(random() % kSize), y0 = static_cast<int>(random() % kSize);
      IntRect r{x0, y0, x0 + 1 + static_cast<int>(random() % 8), y0 + 1 + static_cast<int>(random() % 8)};
      r.x1 = std::min(r.x1, kSize);
      r.y1 = std::min(r.y1, kSize);
      piece.FromRect(r);
      region.CombineInPlace(piece, RegionOp::kUnion);
      for (int y = r.y0; y < r.y1; ++y)
        for (int x = r.x0; x < r.x1; ++x) grid[y][x] = true;
    }
  };
  for (int round = 0; round < 200; ++round) {
    Region a(&context), b(&context), out(&context);
    bool gridA[kSize][kSize], gridB[kSize][kSize];
    randomRegion(a, gridA);
    randomRegion(b, gridB);
    for (RegionOp op : {RegionOp::kUnion, RegionOp::kIntersection, RegionOp::kExclusiveOr,
                        RegionOp::kDifference}) {
      Region::Combine(out, a, b, op);
      for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
          const bool pa = gridA[y][x], pb = gridB[y][x];
          const bool want = op == RegionOp::kUnion          ? (pa || pb)
                            : op == RegionOp::kIntersection ? (pa && pb)
                            : op == RegionOp::kExclusiveOr  ? (pa != pb)
                                                            : (pa && !pb);
          RegionBand band;
          const RegionSpan* span = out.FindBand(y, band) ? band.FindSpan(x) : nullptr;
          ASSERT_EQ(span != nullptr && span->value != 0, want)
              << "round " << round << " op " << int(op) << " at " << x << "," << y;
        }
      }
      for (uint32_t i = 0; i < out.BandCount(); ++i) {
        const RegionBand band = out.Band(i);
        if (i > 0) {
          EXPECT_EQ(out.Band(i - 1).y1, band.y0);
          EXPECT_FALSE(RegionBand::Equals(out.Band(i - 1).spans, band.spans));
        }
        for (size_t s = 1; s < band.spans.size(); ++s) {
          EXPECT_EQ(band.spans[s - 1].x1, band.spans[s].x0);
          EXPECT_NE(band.spans[s - 1].value, band.spans[s].value);
        }
      }
    }
  }
}

}  // namespace
}  // namespace runtime
