#include "raster/BandRegionOps.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/LibraryContext.h"
#include "tests/support/RaisedCode.h"

namespace {

using runtime::Region;
using runtime::RegionSpan;
namespace BandRegion = raster::BandRegion;

TEST(BandRegionOpsTest, ScalingUses64BitProductsAndCaps) {
  struct Case {
    const char* name;
    int32_t v;
    runtime::Fixed f;
    int32_t low, high;
  } cases[] = {
      {"halving rounds out", 5, 0x8000, 2, 3},
      {"identity", 7, 0x10000, 7, 7},
      {"a product past 32 bits", 30000, 0x40000, 32767, 32767},
      {"just past the 16-bit range", 20000, 0x20000, 32767, 32767},
      {"negative", -5, 0x8000, -3, -2},
      {"negative past the range", -30000, 0x40000, -32767, -32767},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BandRegion::ScaleLow(c.v, c.f), c.low) << c.name;
    EXPECT_EQ(BandRegion::ScaleHigh(c.v, c.f), c.high) << c.name;
  }
}

TEST(BandRegionOpsTest, ScaledRegionCoversWhatWasInside) {
  runtime::LibraryContext context;
  Region region(&context);
  const RegionSpan first[] = {{0, 3, 1}, {3, 5, 0}, {5, 9, 1}};
  const RegionSpan second[] = {{1, 2, 1}};
  region.AppendBand(0, 3, first);
  region.AppendBand(3, 5, second);
  region.UpdateBounds();
  BandRegion::ScaleBy(region, 0x8000);  // halve: bands [0,2) and [1,3) overlap
  EXPECT_EQ(region.Bounds(), (runtime::IntRect{0, 0, 5, 3}));
  runtime::RegionBand band;
  ASSERT_TRUE(region.FindBand(1, band));
  ASSERT_NE(band.FindSpan(0), nullptr);
  ASSERT_NE(band.FindSpan(4), nullptr);  // the first band's spans survive the overlap
  ASSERT_TRUE(region.FindBand(2, band));
  EXPECT_NE(band.FindSpan(0), nullptr);

  Region huge(&context);
  huge.FromRect({0, 0, 20000, 100});
  BandRegion::ScaleBy(huge, 0x20000);
  EXPECT_EQ(huge.Bounds(), (runtime::IntRect{0, 0, 32767, 200}));
}

TEST(BandRegionOpsTest, EmptinessAndCheckedSteps) {
  runtime::LibraryContext context;
  Region region(&context);
  EXPECT_TRUE(BandRegion::IsEmpty(region));
  EXPECT_EQ(BandRegion::NextBandEdge(region, 0), 0x7fffffff);
  region.FromRect({2, 3, 8, 9});
  EXPECT_FALSE(BandRegion::IsEmpty(region));
  EXPECT_EQ(BandRegion::NextBandEdge(region, 0), 3);
  EXPECT_EQ(BandRegion::NextBandEdge(region, 3), 9);
  EXPECT_EQ(BandRegion::NextBandEdge(region, 9), 0x7fffffff);
  EXPECT_EQ(BandRegion::CheckedAdvanceBands(region, 0).y0, 3);
  EXPECT_EQ(BandRegion::CheckedAdvanceSpans(BandRegion::CheckedAdvanceBands(region, 0), 0).x1, 8);
  EXPECT_EQ(testsupport::RaisedCode([&] { BandRegion::CheckedAdvanceBands(region, 1); }),
            runtime::kMalformed);
}

}  // namespace
