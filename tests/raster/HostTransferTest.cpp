#include "raster/HostTransfer.h"

#include <gtest/gtest.h>

#include <vector>

#include "raster/ClipAccumulator.h"
#include "raster/ConstantSources.h"
#include "raster/PathEdges.h"
#include "raster/PathScanConverter.h"
#include "raster/PipelineDriver.h"
#include "raster/PixelRegion.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"
#include "runtime/Region.h"
#include "tests/raster/MemoryHostBitmap.h"
#include "tests/raster/TestColorSpace.h"

namespace {

using raster::HostTransfer;
using raster::PathScanConverter;
using raster::StoredPath;
using runtime::FixedPoint;
using runtime::kFixedOne;
using testsupport::MemoryHostBitmap;

constexpr runtime::Fixed I(int v) { return v * kFixedOne; }

class HostTransferTest : public ::testing::Test {
 protected:
  // A 16×8 white page with the rectangle [4, 10) × [2, 6) filled red
  // through the scan converter.
  raster::RasterDevice* RedRectanglePage() {
    raster::RasterDevice* device =
        raster::RasterDevice::CreateForTarget(&context_, arena_, {0, 0, 16, 8}, &rastertest::TestColorSpace::Rgb());
    StoredPath path(arena_);
    path.MoveTo({I(4), I(2)});
    path.LineTo({I(10), I(2)});
    path.LineTo({I(10), I(6)});
    path.LineTo({I(4), I(6)});
    path.Close();
    auto* coverage = runtime::NewInArena<PathScanConverter>(arena_, &context_, arena_, path.Points(),
                                                            runtime::Matrix{}, runtime::IntRect{0, 0, 16, 8}, false);
    const raster::PixelRegion* region = raster::PixelRegion::FromRect(arena_, {0, 0, 16, 8});
    device->PaintSource(*region, nullptr, nullptr, coverage,
                        raster::SolidColorSource::FromRgbFixed(arena_, kFixedOne, 0, 0), nullptr);
    return device;
  }
  raster::PipelineNode* Read(raster::RasterDevice* device) {
    return device->DeviceSource(*raster::PixelRegion::FromRect(arena_, {0, 0, 16, 8}));
  }

  runtime::LibraryContext context_;
  runtime::ArenaAllocator arena_{&context_, 16384, 4096};
};

TEST_F(HostTransferTest, RedRectangleStoredInEveryKind) {
  raster::RasterDevice* device = RedRectanglePage();
  runtime::Region whole(&context_);
  whole.FromRect({0, 0, 16, 8});
  for (int32_t kind = 1; kind <= 5; ++kind) {
    MemoryHostBitmap bitmap(kind, 16, 8, 0x5A);
    HostTransfer::PaintNode(bitmap, arena_, whole, 0, 0, Read(device));
    EXPECT_EQ(bitmap.begun, 1);
    EXPECT_EQ(bitmap.ended, 1);
    // (4, 2), (5, 2), (4, 3) and (5, 3) are the four dither phases.
    for (const auto& [x, y] : {std::pair{4, 2}, {5, 2}, {4, 3}, {5, 3}, {8, 5}}) {
      SCOPED_TRACE(testing::Message() << "kind " << kind << " at " << x << "," << y);
      const uint8_t* p = bitmap.Pixel(x, y);
      switch (kind) {
        case 1: EXPECT_EQ(bitmap.Word(x, y), 0xF800); break;
        case 2: EXPECT_EQ(p[0], 0xF8); EXPECT_EQ(p[1], 0x00); break;
        case 3: EXPECT_EQ((std::vector<uint8_t>{p[0], p[1], p[2]}), (std::vector<uint8_t>{0, 0, 255})); break;
        case 4: EXPECT_EQ((std::vector<uint8_t>{p[0], p[1], p[2], p[3]}), (std::vector<uint8_t>{0, 0, 255, 0x5A})); break;
        case 5: EXPECT_EQ((std::vector<uint8_t>{p[0], p[1], p[2], p[3]}), (std::vector<uint8_t>{0x5A, 255, 0, 0})); break;
      }
    }
    for (const auto& [x, y] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}, {3, 4}, {12, 7}, {15, 3}}) {
      SCOPED_TRACE(testing::Message() << "kind " << kind << " outside at " << x << "," << y);
      const uint8_t* p = bitmap.Pixel(x, y);
      if (kind <= 2) {
        EXPECT_EQ(bitmap.Word(x, y), 0xFFFF);
      } else {
        const int first = kind == 5 ? 1 : 0;
        EXPECT_EQ(p[first], 255);
        EXPECT_EQ(p[first + 1], 255);
        EXPECT_EQ(p[first + 2], 255);
      }
    }
  }
}

TEST_F(HostTransferTest, ExclusiveOrTwiceRestoresEveryKind) {
  raster::RasterDevice* device = RedRectanglePage();
  runtime::Region part(&context_);
  part.FromRect({2, 1, 13, 7});
  for (int32_t kind = 1; kind <= 5; ++kind) {
    MemoryHostBitmap bitmap(kind, 16, 8, 0x3C);
    const std::vector<uint8_t> before = bitmap.Bytes();
    HostTransfer::PaintNodeXor(bitmap, arena_, part, 0, 0, Read(device));
    EXPECT_NE(bitmap.Bytes(), before) << kind;
    HostTransfer::PaintNodeXor(bitmap, arena_, part, 0, 0, Read(device));
    EXPECT_EQ(bitmap.Bytes(), before) << kind;
  }
}

TEST_F(HostTransferTest, PathCoverageMasksASourceStraightIntoABitmap) {
  // A red source masked by a triangle's coverage, written without a device:
  // inside red, outside the masked-out black, the edge in between.
  StoredPath triangle(arena_);
  triangle.MoveTo({I(1), I(1)});
  triangle.LineTo({I(15), I(1)});
  triangle.LineTo({I(1), I(7)});
  triangle.Close();
  raster::RasterDevice* device =
      raster::RasterDevice::CreateForTarget(&context_, arena_, {0, 0, 16, 8}, &rastertest::TestColorSpace::Rgb());
  const raster::PixelRegion* region = raster::PixelRegion::FromRect(arena_, {0, 0, 16, 8});
  raster::PipelineNode* node = raster::PipelineStage::CreateForPath(
      &context_, arena_, device->Scratch(*region), {0, 0, 16, 8}, triangle.Points(), runtime::Matrix{}, false,
      raster::SolidColorSource::FromRgbFixed(arena_, kFixedOne, 0, 0));
  runtime::Region whole(&context_);
  whole.FromRect({0, 0, 16, 8});
  MemoryHostBitmap bitmap(raster::kHostBgr24, 16, 8, 0x77);
  HostTransfer::PaintNode(bitmap, arena_, whole, 0, 0, node);
  EXPECT_EQ(bitmap.Pixel(2, 2)[2], 255);
  EXPECT_EQ(bitmap.Pixel(2, 2)[1], 0);
  EXPECT_EQ(bitmap.Pixel(14, 6)[2], 0);
  const uint8_t edge = bitmap.Pixel(8, 4)[2];
  EXPECT_GT(edge, 0);
  EXPECT_LT(edge, 255);
}

TEST_F(HostTransferTest, FillWhiteIsCutToTheBitmap) {
  MemoryHostBitmap bitmap(raster::kHostBgr24, 5, 3, 0);
  HostTransfer::FillWhite(bitmap, arena_, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(bitmap.Pixel(x, y)[1], 255);
}

TEST_F(HostTransferTest, TwoClipPathsCombineThroughAMask) {
  // Two overlapping discs (as diamonds) clip a full-page fill: only their
  // intersection is painted, exactly where both converters cover fully.
  const raster::PixelRegion* page = raster::PixelRegion::FromRect(arena_, {0, 0, 32, 32});
  auto diamond = [&](int cx, int cy, int r) {
    auto* path = runtime::NewInArena<StoredPath>(arena_, arena_);
    path->MoveTo({I(cx), I(cy - r)});
    path->LineTo({I(cx + r), I(cy)});
    path->LineTo({I(cx), I(cy + r)});
    path->LineTo({I(cx - r), I(cy)});
    path->Close();
    return path;
  };
  StoredPath* a = diamond(12, 16, 10);
  StoredPath* b = diamond(20, 16, 10);
  raster::ClipAccumulator clip(&context_, arena_, *page);
  clip.AddPath(a->Points(), runtime::Matrix{}, false);
  EXPECT_FALSE(clip.HasMask());
  clip.AddPath(b->Points(), runtime::Matrix{}, false);
  EXPECT_TRUE(clip.HasMask());
  EXPECT_EQ(clip.PathCount(), 2);

  raster::RasterDevice* device =
      raster::RasterDevice::CreateForTarget(&context_, arena_, {0, 0, 32, 32}, &rastertest::TestColorSpace::Rgb());
  raster::RasterDevice::FillRegion(*device, {0, 0, 32, 32}, clip.ClipNode(), 0, 0, 0);
  // Reference coverages of each diamond alone.
  PathScanConverter alone(&context_, arena_, a->Points(), runtime::Matrix{}, {0, 0, 32, 32}, false);
  PathScanConverter other(&context_, arena_, b->Points(), runtime::Matrix{}, {0, 0, 32, 32}, false);
  int inside = 0, outside = 0;
  for (int32_t y = 0; y < 32; ++y) {
    alone.BeginRow(y);
    other.BeginRow(y);
    for (int32_t x = 0; x < 32; ++x) {
      alone.CoverageRun(x, x + 1);
      other.CoverageRun(x, x + 1);
      const auto kindA = alone.Kind(), kindB = other.Kind();
      const uint8_t* pixel = device->Target().colour->base + y * device->Target().colour->format.rowStep + x * 4;
      SCOPED_TRACE(testing::Message() << x << "," << y);
      if (kindA == raster::RunKind::kFull && kindB == raster::RunKind::kFull) {
        EXPECT_EQ(pixel[1], 0);  // painted black
        ++inside;
      } else if (kindA == raster::RunKind::kEmpty || kindB == raster::RunKind::kEmpty) {
        EXPECT_EQ(pixel[1], 255);  // the paper stays
        ++outside;
      } else {
        EXPECT_GT(pixel[1], 0);  // partly covered by one of them at least
      }
    }
  }
  // Inside only one diamond is outside the clip: the two clips really meet.
  EXPECT_GT(inside, 20);
  EXPECT_GT(outside, 500);
}

}  // namespace

namespace {

TEST(ClipAccumulatorTest, PixelRectanglesStayARegion) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 4096, 1024);
  auto rectangle = [&](int x0, int y0, int x1, int y1) {
    auto* path = runtime::NewInArena<StoredPath>(arena, arena);
    path->MoveTo({I(x0), I(y0)});
    path->LineTo({I(x1), I(y0)});
    path->LineTo({I(x1), I(y1)});
    path->LineTo({I(x0), I(y1)});
    path->Close();
    return path;
  };
  const raster::PixelRegion* page = raster::PixelRegion::FromRect(arena, {0, 0, 64, 64});
  raster::ClipAccumulator clip(&context, arena, *page);
  clip.AddPath(rectangle(2, 3, 40, 50)->Points(), runtime::Matrix{}, false);
  // The same rectangle scaled onto whole pixels by the matrix.
  clip.AddPath(rectangle(5, 5, 30, 30)->Points(), runtime::Matrix{2 * kFixedOne, 0, 0, kFixedOne, 0, 0}, true);
  EXPECT_EQ(clip.ClipNode(), nullptr);
  EXPECT_FALSE(clip.HasMask());
  EXPECT_EQ(clip.ClipRegion().Bounds(), (runtime::IntRect{10, 5, 40, 30}));
  // Half-pixel corners need coverage: the path clips through its converter.
  clip.AddPath(rectangle(1, 1, 9, 9)->Points(), runtime::Matrix{kFixedOne / 2 * 3, 0, 0, kFixedOne, 0, 0}, false);
  EXPECT_NE(clip.ClipNode(), nullptr);
  EXPECT_FALSE(clip.HasMask());
  EXPECT_EQ(clip.PathCount(), 1);
}

}  // namespace
