#include "raster/PixelRegion.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/ArenaAllocator.h"

namespace raster {
namespace {

class PixelRegionTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 16384, 4096};

  static std::vector<int32_t> Edges(const PixelRegion& region, int32_t y) {
    const auto edges = region.RowEdges(y);
    return {edges.begin(), edges.end()};
  }
};

TEST_F(PixelRegionTest, RectangleHelpers) {
  EXPECT_EQ(CollapseEmpty({5, 3, 2, 9}), (IntRect{5, 3, 2, 3}));
  EXPECT_EQ(CollapseEmpty({0, 0, 4, 4}), (IntRect{0, 0, 4, 4}));
  EXPECT_EQ(IntersectRects({0, 0, 4, 4}, {2, 6, 8, 9}), (IntRect{2, 6, 4, 6}));
  EXPECT_EQ(UnionRects({0, 0, 4, 4}, {5, 5, 5, 9}), (IntRect{0, 0, 4, 4}));
  EXPECT_TRUE(ContainsRect({0, 0, 4, 4}, {9, 9, 9, 12}));
  EXPECT_FALSE(ContainsRect({0, 0, 4, 4}, {-1, 0, 4, 4}));
}

TEST_F(PixelRegionTest, FromRect) {
  const PixelRegion* empty = PixelRegion::FromRect(arena, {3, 2, 3, 8});
  EXPECT_EQ(empty->Bounds(), (IntRect{3, 2, 3, 2}));
  EXPECT_TRUE(empty->IsEmpty());
  EXPECT_TRUE(Edges(*empty, 2).empty());
  const PixelRegion* rect = PixelRegion::FromRect(arena, {1, 2, 5, 4});
  EXPECT_TRUE(rect->IsRectangular());
  EXPECT_EQ(Edges(*rect, 2), (std::vector<int32_t>{1, 5}));
  EXPECT_TRUE(Edges(*rect, 4).empty());
}

TEST_F(PixelRegionTest, Combine) {
  const PixelRegion* a = PixelRegion::FromRect(arena, {0, 0, 4, 4});
  const PixelRegion* b = PixelRegion::FromRect(arena, {2, 1, 6, 3});
  const PixelRegion* meet = PixelRegion::Combine(arena, RegionCombine::kIntersection, *a, *b);
  EXPECT_TRUE(meet->IsRectangular());
  EXPECT_EQ(meet->Bounds(), (IntRect{2, 1, 4, 3}));
  EXPECT_EQ(Edges(*meet, 1), (std::vector<int32_t>{2, 4}));

  // A union is a row list even of two equal rectangles.
  const PixelRegion* same = PixelRegion::Combine(arena, RegionCombine::kUnion, *a, *a);
  EXPECT_FALSE(same->IsRectangular());
  EXPECT_EQ(Edges(*same, 3), (std::vector<int32_t>{0, 4}));

  const PixelRegion* joined = PixelRegion::Combine(arena, RegionCombine::kUnion, *a, *b);
  EXPECT_EQ(joined->Bounds(), (IntRect{0, 0, 6, 4}));
  EXPECT_EQ(Edges(*joined, 0), (std::vector<int32_t>{0, 4}));
  EXPECT_EQ(Edges(*joined, 1), (std::vector<int32_t>{0, 6}));

  const PixelRegion* gap = PixelRegion::Combine(arena, RegionCombine::kUnion, *PixelRegion::FromRect(arena, {0, 0, 2, 1}),
                                                *PixelRegion::FromRect(arena, {4, 0, 6, 1}));
  EXPECT_EQ(Edges(*gap, 0), (std::vector<int32_t>{0, 2, 4, 6}));
  // A row list against a rectangle: the intersection follows the rows.
  const PixelRegion* cut =
      PixelRegion::Combine(arena, RegionCombine::kIntersection, *gap, *PixelRegion::FromRect(arena, {1, 0, 5, 1}));
  EXPECT_EQ(Edges(*cut, 0), (std::vector<int32_t>{1, 2, 4, 5}));
  const PixelRegion* none = PixelRegion::Combine(arena, RegionCombine::kIntersection, *a,
                                                 *PixelRegion::FromRect(arena, {10, 10, 12, 12}));
  EXPECT_TRUE(none->IsEmpty());
}

}  // namespace
}  // namespace raster
