#include "raster/HostTransfer.h"

#include <gtest/gtest.h>

#include "tests/raster/RasterTestUnits.h"

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

using rastertest::I;

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
  MemoryHostBitmap bitmap(runtime::kHostBgr24, 16, 8, 0x77);
  HostTransfer::PaintNode(bitmap, arena_, whole, 0, 0, node);
  EXPECT_EQ(bitmap.Pixel(2, 2)[2], 255);
  EXPECT_EQ(bitmap.Pixel(2, 2)[1], 0);
  EXPECT_EQ(bitmap.Pixel(14, 6)[2], 0);
  const uint8_t edge = bitmap.Pixel(8, 4)[2];
  EXPECT_GT(edge, 0);
  EXPECT_LT(edge, 255);
}

TEST_F(HostTransferTest, FillWhiteIsCutToTheBitmap) {
  MemoryHostBitmap bitmap(runtime::kHostBgr24, 5, 3, 0);
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

namespace {

StoredPath* RectanglePath(runtime::ArenaAllocator& arena, std::initializer_list<runtime::IntRect> rects) {
  auto* path = runtime::NewInArena<StoredPath>(arena, arena);
  for (const runtime::IntRect& r : rects) {
    path->MoveTo({I(r.x0), I(r.y0)});
    path->LineTo({I(r.x1), I(r.y0)});
    path->LineTo({I(r.x1), I(r.y1)});
    path->LineTo({I(r.x0), I(r.y1)});
    path->Close();
  }
  return path;
}

TEST(ClipAccumulatorTest, OnlyOneAxisAlignedRectangleIsARectangleClip) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 4096, 1024);
  auto points = [&](std::initializer_list<std::pair<int, int>> corners) {
    auto* path = runtime::NewInArena<StoredPath>(arena, arena);
    bool first = true;
    for (const auto& [x, y] : corners) {
      first ? path->MoveTo({I(x), I(y)}) : path->LineTo({I(x), I(y)});
      first = false;
    }
    path->Close();
    return path;
  };
  struct Case {
    const char* name;
    const StoredPath* path;
    bool rectangle;
  } cases[] = {
      {"one rectangle", RectanglePath(arena, {{2, 3, 10, 12}}), true},
      {"one rectangle drawn the other way", points({{2, 3}, {2, 12}, {10, 12}, {10, 3}}), true},
      {"two rectangles (re re W n)", RectanglePath(arena, {{2, 3, 10, 12}, {20, 3, 30, 12}}), false},
      {"a line there and back", points({{0, 0}, {10, 0}, {0, 0}, {10, 0}}), false},
      {"doubling back on a side", points({{0, 0}, {10, 0}, {10, 10}, {10, 0}}), false},
      {"a zero-height rectangle", RectanglePath(arena, {{2, 5, 10, 5}}), false},
      {"an L of four corners", points({{0, 0}, {10, 0}, {10, 10}, {20, 10}}), false},
  };
  for (const Case& c : cases) {
    runtime::IntRect out;
    EXPECT_EQ(raster::PathIsPixelRectangle(c.path->Points(), runtime::Matrix{}, out), c.rectangle) << c.name;
  }
}

class ClipThroughPaintsTest : public HostTransferTest {
 protected:
  // The green byte of device pixel (x, y).
  static uint8_t Green(raster::RasterDevice* device, int32_t x, int32_t y) {
    const raster::PixelPlane* colour = device->Target().colour;
    return colour->base[y * colour->format.rowStep + x * 4 + 1];
  }
};

TEST_F(ClipThroughPaintsTest, TwoRectanglesClipToBoth) {
  const raster::PixelRegion* page = raster::PixelRegion::FromRect(arena_, {0, 0, 32, 16});
  raster::ClipAccumulator clip(&context_, arena_, *page);
  clip.AddPath(RectanglePath(arena_, {{2, 2, 8, 8}, {20, 4, 28, 12}})->Points(), runtime::Matrix{}, false);
  raster::RasterDevice* device =
      raster::RasterDevice::CreateForTarget(&context_, arena_, {0, 0, 32, 16}, &rastertest::TestColorSpace::Rgb());
  raster::RasterDevice::FillRegion(*device, {0, 0, 32, 16}, clip.ClipNode(), 0, 0, 0);
  EXPECT_EQ(Green(device, 4, 4), 0);
  EXPECT_EQ(Green(device, 24, 8), 0);
  EXPECT_EQ(Green(device, 14, 8), 255);
  EXPECT_EQ(Green(device, 24, 2), 255);
}

TEST_F(ClipThroughPaintsTest, OnePathClipServesEveryPaint) {
  // A diamond clip, then three fills through it (left half, right half, and
  // all again in another colour): each paints inside the diamond.
  const raster::PixelRegion* page = raster::PixelRegion::FromRect(arena_, {0, 0, 32, 32});
  auto* diamond = runtime::NewInArena<StoredPath>(arena_, arena_);
  diamond->MoveTo({I(16), I(2)});
  diamond->LineTo({I(30), I(16)});
  diamond->LineTo({I(16), I(30)});
  diamond->LineTo({I(2), I(16)});
  diamond->Close();
  raster::ClipAccumulator clip(&context_, arena_, *page);
  clip.AddPath(diamond->Points(), runtime::Matrix{}, false);
  ASSERT_FALSE(clip.HasMask());
  raster::RasterDevice* device =
      raster::RasterDevice::CreateForTarget(&context_, arena_, {0, 0, 32, 32}, &rastertest::TestColorSpace::Rgb());
  raster::RasterDevice::FillRegion(*device, {0, 0, 16, 32}, clip.ClipNode(), 0, 0, 0);
  raster::RasterDevice::FillRegion(*device, {16, 0, 32, 32}, clip.ClipNode(), 0, 0, 0);
  EXPECT_EQ(Green(device, 10, 16), 0);
  EXPECT_EQ(Green(device, 22, 16), 0);
  EXPECT_EQ(Green(device, 16, 8), 0);
  EXPECT_EQ(Green(device, 3, 3), 255);
  raster::RasterDevice::FillRegion(*device, {0, 0, 32, 32}, clip.ClipNode(), 0, kFixedOne / 2, 0);
  EXPECT_EQ(Green(device, 10, 16), 127);
  EXPECT_EQ(Green(device, 22, 20), 127);
  EXPECT_EQ(Green(device, 3, 3), 255);
}

TEST_F(HostTransferTest, TransfersStayWithinTheDevice) {
  // A bitmap larger than the device, a region over all of it: the device's
  // pixels are written, nothing is read past them, the rest keeps its bytes.
  raster::RasterDevice* device = RedRectanglePage();
  runtime::Region whole(&context_);
  whole.FromRect({0, 0, 40, 20});
  for (int32_t kind = 1; kind <= 5; ++kind) {
    MemoryHostBitmap bitmap(kind, 40, 20, 0x5A);
    HostTransfer::PaintNode(bitmap, arena_, whole, 3, 2, Read(device));
    SCOPED_TRACE(testing::Message() << "kind " << kind);
    const int colourByte = kind == runtime::kHostXrgb32 ? 1 : 0;  // the first byte a writer stores
    EXPECT_NE(bitmap.Pixel(3 + 6, 2 + 3)[colourByte], 0x5A);     // inside the device: red
    EXPECT_NE(bitmap.Pixel(3 + 1, 2 + 1)[colourByte], 0x5A);     // inside the device: white
    for (const auto& [x, y] : {std::pair{2, 2}, {19, 5}, {5, 10}, {39, 19}, {0, 0}})
      EXPECT_EQ(bitmap.Pixel(x, y)[colourByte], 0x5A) << x << "," << y;
  }
}

TEST_F(HostTransferTest, ExtremeOffsetsAndRectanglesWriteNothingAmiss) {
  raster::RasterDevice* device = RedRectanglePage();
  runtime::Region whole(&context_);
  whole.FromRect({0, 0, 16, 8});
  MemoryHostBitmap bitmap(runtime::kHostBgrx32, 16, 8, 0x5A);
  for (const auto& [dx, dy] : {std::pair{INT32_MIN, 0}, {0, INT32_MIN}, {INT32_MAX, INT32_MAX}, {INT32_MIN, INT32_MIN}})
    HostTransfer::PaintNode(bitmap, arena_, whole, dx, dy, Read(device));
  EXPECT_EQ(bitmap.Pixel(5, 3)[0], 0x5A);
  HostTransfer::FillWhite(bitmap, arena_, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
  EXPECT_EQ(bitmap.Pixel(15, 7)[0], 0xFF);
}

TEST_F(HostTransferTest, AnUnboundedFillFillsTheDevice) {
  raster::RasterDevice* device =
      raster::RasterDevice::CreateForTarget(&context_, arena_, {0, 0, 16, 8}, &rastertest::TestColorSpace::Rgb());
  raster::RasterDevice::FillRegion(*device, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, nullptr, 0, 0, 0);
  const raster::PixelPlane* colour = device->Target().colour;
  for (const auto& [x, y] : {std::pair{0, 0}, {15, 7}, {8, 4}}) EXPECT_EQ(colour->base[y * colour->format.rowStep + x * 4], 0);
}

}  // namespace
