#include "raster/RasterDevice.h"

#include <gtest/gtest.h>

#include "raster/ConstantSources.h"
#include "raster/PathEdges.h"
#include "raster/PathScanConverter.h"
#include "raster/PipelineDriver.h"
#include "runtime/ArenaAllocator.h"
#include "tests/raster/TestColorSpace.h"
#include "tests/support/RaisedCode.h"
#include "raster/BlendMath.h"
#include "raster/PlaneSource.h"

#include <vector>

namespace raster {
namespace {

using rastertest::TestColorSpace;

class RasterDeviceTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 16384, 4096};

  // Channel c of the colour plane and the alpha byte of device pixel (x, y).
  static int Colour(const RasterDevice& device, int32_t x, int32_t y, int32_t c) {
    PixelPlane plane = *device.Target().colour;
    plane.SetRow(y);
    return *CursorAt(&plane, x).Channel(c);
  }
  static int Alpha(const RasterDevice& device, int32_t x, int32_t y) {
    PixelPlane plane = *device.Target().alpha;
    plane.SetRow(y);
    return *CursorAt(&plane, x).Channel(0);
  }
};

TEST_F(RasterDeviceTest, PageDeviceStartsAsPaperWithAlphaZero) {
  struct Case {
    const char* name;
    TestColorSpace* space;
    int paper;
  } cases[] = {
      {"rgb", &TestColorSpace::Rgb(), 255},
      {"gray", &TestColorSpace::Gray(), 255},
      {"cmyk", &TestColorSpace::Cmyk(), 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    RasterDevice* device = RasterDevice::CreateForTarget(&context, arena, {0, 0, 16, 8}, test.space);
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        ASSERT_EQ(Alpha(*device, x, y), 0);
        for (int32_t c = 0; c < test.space->ComponentCount(); ++c) ASSERT_EQ(Colour(*device, x, y, c), test.paper);
      }
  }
}

}  // namespace
}  // namespace raster

namespace raster {
namespace {

// Reads every pixel a node produces over a rectangle into a byte image of
// {alpha, colour channels...}, through the pipeline driver into a buffer.
std::vector<std::vector<int>> Render(runtime::LibraryContext& context, runtime::ArenaAllocator& arena,
                                     PipelineNode* node, const IntRect& rect, int32_t components) {
  auto* buffer = runtime::NewInArena<runtime::PixelBuffer>(arena, &context, &arena, rect,
                                                           PixelLayout::ForPlanes(components, 0, 3, true), true);
  const PixelTriple target = PixelTriple::OfBuffer(arena, *buffer);
  PipelineDriver::PaintRegion(arena, *PixelRegion::FromRect(arena, rect), target, nullptr, node);
  std::vector<std::vector<int>> pixels;
  for (int32_t y = rect.y0; y < rect.y1; ++y) {
    target.alpha->SetRow(y);
    target.colour->SetRow(y);
    for (int32_t x = rect.x0; x < rect.x1; ++x) {
      std::vector<int> pixel{*CursorAt(target.alpha, x).Channel(0)};
      for (int32_t c = 0; c < components; ++c) pixel.push_back(*CursorAt(target.colour, x).Channel(c));
      pixels.push_back(pixel);
    }
  }
  return pixels;
}

TEST_F(RasterDeviceTest, PageDeviceIsInterleavedBgra) {
  RasterDevice* device = RasterDevice::CreateForTarget(&context, arena, {0, 0, 16, 8}, &TestColorSpace::Rgb());
  EXPECT_TRUE(device->Target().IsInterleavedBgraNoShape());
  EXPECT_TRUE(device->Target().colour->format.Is3x2Tag4());
  EXPECT_TRUE(FormatIs(device->Target().alpha->format, 1, 3, 0, 4));
}

TEST_F(RasterDeviceTest, FillWritesExactlyTheRectangle) {
  RasterDevice* device = RasterDevice::CreateForTarget(&context, arena, {0, 0, 16, 8}, &TestColorSpace::Rgb());
  RasterDevice::FillRegion(*device, {2, 2, 6, 6}, nullptr, runtime::kFixedOne, 0, 0);
  int painted = 0;
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 16; ++x) {
      const bool inside = x >= 2 && x < 6 && y >= 2 && y < 6;
      SCOPED_TRACE(testing::Message() << x << "," << y);
      // Bytes 2, 1, 0 of the pixel hold red, green and blue.
      ASSERT_EQ(Colour(*device, x, y, 0), 255);
      ASSERT_EQ(Colour(*device, x, y, 1), inside ? 0 : 255);
      ASSERT_EQ(Colour(*device, x, y, 2), inside ? 0 : 255);
      ASSERT_EQ(Alpha(*device, x, y), inside ? 255 : 0);
      painted += inside;
    }
  EXPECT_EQ(painted, 16);
}

TEST_F(RasterDeviceTest, FillOutsideTheDeviceIsCut) {
  RasterDevice* device = RasterDevice::CreateForTarget(&context, arena, {0, 0, 16, 8}, &TestColorSpace::Rgb());
  RasterDevice::FillRegion(*device, {-10, -3, 3, 40}, nullptr, 0, 0, 0);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 16; ++x) ASSERT_EQ(Alpha(*device, x, y), x < 3 ? 255 : 0) << x << "," << y;
}

TEST_F(RasterDeviceTest, PipelinePastTheBoundsSplitsAndReadsPaperOutside) {
  RasterDevice* device = RasterDevice::CreateForTarget(&context, arena, {0, 0, 16, 8}, &TestColorSpace::Rgb());
  RasterDevice::FillRegion(*device, {0, 0, 16, 8}, nullptr, 0, runtime::kFixedOne, 0);
  const PixelRegion* region = PixelRegion::FromRect(arena, {-4, 0, 20, 8});
  PipelineNode* node = device->MakePipeline(*region, &TestColorSpace::Rgb());
  EXPECT_EQ(node->variantCount, 2u);  // the device's planes, then the paper's
  const auto pixels = Render(context, arena, node, {-4, 0, 20, 8}, 3);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = -4; x < 20; ++x) {
      const bool inside = x >= 0 && x < 16;
      const std::vector<int> expected = inside ? std::vector<int>{255, 0, 255, 0} : std::vector<int>{0, 255, 255, 255};
      ASSERT_EQ(pixels[size_t(y * 24 + x + 4)], expected) << x << "," << y;
    }
}

TEST_F(RasterDeviceTest, PipelineInsideTheBoundsIsThePlaneSourceItself) {
  RasterDevice* device = RasterDevice::CreateForTarget(&context, arena, {0, 0, 16, 8}, &TestColorSpace::Rgb());
  PipelineNode* node = device->MakePipeline(*PixelRegion::FromRect(arena, {3, 1, 16, 8}), &TestColorSpace::Rgb());
  EXPECT_EQ(node->variantCount, 1u);
  EXPECT_NE(node->mode & kSingleVariant, 0u);
  // An empty region counts as inside.
  node = device->MakePipeline(*PixelRegion::FromRect(arena, {40, 40, 30, 50}), &TestColorSpace::Rgb());
  EXPECT_EQ(node->variantCount, 1u);
}

TEST_F(RasterDeviceTest, GroupDeviceStartsClearOverTheColourBelow) {
  RasterDevice* page = RasterDevice::CreateForTarget(&context, arena, {0, 0, 16, 8}, &TestColorSpace::Rgb());
  RasterDevice::FillRegion(*page, {0, 0, 8, 8}, nullptr, runtime::kFixedOne, 0, 0);
  for (bool isolated : {true, false}) {
    SCOPED_TRACE(isolated);
    // A gray group reads the page's first channel; a CMYK one its complement.
    struct Case {
      TestColorSpace* space;
      int left, right;
    } cases[] = {{&TestColorSpace::Gray(), 255, 255}, {&TestColorSpace::Cmyk(), 0, 0}};
    for (const Case& test : cases) {
      const int32_t n = test.space->ComponentCount();
      RasterDevice* group = RasterDevice::CreateGroup(&context, arena, {4, 2, 12, 6}, test.space,
                                                      PixelLayout::ForPlanes(n, 2, 3, true), page, isolated);
      for (int32_t y = 2; y < 6; ++y)
        for (int32_t x = 4; x < 12; ++x) {
          PixelPlane shape = *group->Target().shape;
          shape.SetRow(y);
          ASSERT_EQ(*CursorAt(&shape, x).Channel(0), 0);
          ASSERT_EQ(Alpha(*group, x, y), 0);
          ASSERT_EQ(Colour(*group, x, y, 0), x < 8 ? test.left : test.right);
        }
    }
  }
}

TEST_F(RasterDeviceTest, BackdropOfANonIsolatedGroupUnitesAlphas) {
  RasterDevice* page = RasterDevice::CreateForTarget(&context, arena, {0, 0, 8, 4}, &TestColorSpace::Rgb());
  RasterDevice::FillRegion(*page, {0, 0, 4, 4}, nullptr, 0, 0, runtime::kFixedOne);
  const PixelRegion* region = PixelRegion::FromRect(arena, {-2, 0, 8, 4});
  // The page over its paper: alpha 255 where painted, 0 elsewhere; the paper
  // outside the page.
  const auto pixels = Render(context, arena, page->MakeBackdrop(*region, &TestColorSpace::Rgb(), false),
                             {-2, 0, 8, 4}, 3);
  for (int32_t x = -2; x < 8; ++x) {
    const bool painted = x >= 0 && x < 4;
    const std::vector<int> expected = painted ? std::vector<int>{255, 0, 0, 255} : std::vector<int>{0, 255, 255, 255};
    EXPECT_EQ(pixels[size_t(x + 2)], expected) << x;
  }
}

// Gray takes the general source-over stage, RGB the one for 4-byte pixels.
TEST_F(RasterDeviceTest, TranslucentSourceCompositesOverTheDevice) {
  for (TestColorSpace* space : {&TestColorSpace::Gray(), &TestColorSpace::Rgb()}) {
    const int32_t n = space->ComponentCount();
    SCOPED_TRACE(n);
    RasterDevice* device = RasterDevice::CreateForTarget(&context, arena, {0, 0, 4, 1}, space);
    RasterDevice::FillRegion(*device, {2, 0, 4, 1}, nullptr, 0x4000, 0x4000, 0x4000);  // byte 64, opaque
    const PixelRegion* region = PixelRegion::FromRect(arena, {0, 0, 4, 1});
    // A premultiplied source of colour 30 and alpha 128.
    PipelineNode* source = PlaneSource::Create(
        arena, {PixelPlane::Opaque(), PixelPlane::MakeConstant(arena, 128),
                SolidColorSource::FromFixed(arena, std::vector<runtime::Fixed>(size_t(n), 0x1e00))->variants[0].colour});
    PipelineNode* coverage = PlaneSource::Create(arena, {PixelPlane::Opaque(), PixelPlane::Opaque(), nullptr});
    device->PaintSource(*region, nullptr, nullptr, coverage, source, nullptr);
    for (int32_t x = 0; x < 4; ++x) {
      const int alphaBelow = x < 2 ? 0 : 255, colourBelow = x < 2 ? 255 : 64;
      EXPECT_EQ(Alpha(*device, x, 0), Union255(alphaBelow, 128)) << x;
      for (int32_t c = 0; c < n; ++c)
        EXPECT_EQ(Colour(*device, x, 0, c), Div255(30 * 255 + 127 * colourBelow)) << x << "," << c;
    }
  }
}

// Gray takes the general interpolating stages; RGB's 4-byte pixels take the
// interleaved one for the clip step. Both must give the same bytes.
TEST_F(RasterDeviceTest, CoverageAndClipMaskInterpolate) {
  for (TestColorSpace* space : {&TestColorSpace::Gray(), &TestColorSpace::Rgb()}) {
    const int32_t n = space->ComponentCount();
    SCOPED_TRACE(n);
    RasterDevice* device = RasterDevice::CreateForTarget(&context, arena, {0, 0, 4, 1}, space);
    const PixelRegion* region = PixelRegion::FromRect(arena, {0, 0, 4, 1});
    PipelineNode* black = SolidColorSource::FromFixed(arena, std::vector<runtime::Fixed>(size_t(n), 0));
    // Coverage 0, 85, 170, 255 across the row; a clip mask of 255, 255, 0, 128.
    auto rowPlane = [&](std::initializer_list<uint8_t> bytes) {
      auto* buffer = runtime::NewInArena<runtime::PixelBuffer>(arena, &context, &arena, IntRect{0, 0, 4, 1},
                                                               PixelLayout::ForPlanes(-1, 2, 0, false), false);
      PixelTriple planes = PixelTriple::OfBuffer(arena, *buffer);
      std::copy(bytes.begin(), bytes.end(), CursorAt(planes.shape, 0).pixel);
      return PlaneSource::Create(arena, {planes.shape, planes.shape, nullptr});
    };
    PipelineNode* coverage = rowPlane({0, 85, 170, 255});
    PipelineNode* clipMask = rowPlane({255, 255, 0, 128});
    device->PaintSource(*region, nullptr, clipMask, coverage, black, nullptr);
    const int coverageBytes[] = {0, 85, 170, 255}, clipBytes[] = {255, 255, 0, 128};
    for (int32_t x = 0; x < 4; ++x) {
      const int alpha = Lerp255(0, Lerp255(0, 255, coverageBytes[x]), clipBytes[x]);
      const int colour = Lerp255(255, Lerp255(255, 0, coverageBytes[x]), clipBytes[x]);
      EXPECT_EQ(Alpha(*device, x, 0), alpha) << x;
      for (int32_t c = 0; c < n; ++c) EXPECT_EQ(Colour(*device, x, 0, c), colour) << x;
    }
  }
}

// A page wider than the scan converter's band (a 600 dpi A3 page across is
// 9,921 pixels) fills across the whole row.
TEST_F(RasterDeviceTest, FillAcrossAPageWiderThanOneBand) {
  const IntRect page{0, 0, 9921, 4};
  RasterDevice* device = RasterDevice::CreateForTarget(&context, arena, page, &TestColorSpace::Rgb());
  StoredPath path(arena);
  const auto at = [](int32_t x, int32_t y) {
    return runtime::FixedPoint{runtime::FixedFromInt(x), runtime::FixedFromInt(y)};
  };
  path.MoveTo(at(10, 1));
  path.LineTo(at(9900, 1));
  path.LineTo(at(9900, 3));
  path.LineTo(at(10, 3));
  path.Close();
  auto* coverage = runtime::NewInArena<PathScanConverter>(arena, &context, arena, path.Points(),
                                                          runtime::Matrix{}, page, false);
  device->PaintSource(*PixelRegion::FromRect(arena, coverage->ShapeBounds()), nullptr, nullptr, coverage,
                      SolidColorSource::FromRgbFixed(arena, 0, 0, 0), nullptr);
  for (const int32_t x : {10, 1997, 7997, 7998, 9899}) {
    EXPECT_EQ(Colour(*device, x, 2, 0), 0) << x;
    EXPECT_EQ(Alpha(*device, x, 2), 255) << x;
  }
  for (const int32_t x : {9, 9900}) EXPECT_EQ(Colour(*device, x, 2, 0), 255) << x;
  EXPECT_EQ(Colour(*device, 5000, 0, 0), 255);
}

// An opaque fill through a soft clip: RGB takes the stages that interpolate
// 4-byte pixels towards one colour (per-pixel and constant masks), gray the
// general one; both must match the interpolation formula.
TEST_F(RasterDeviceTest, OpaqueFillThroughASoftClip) {
  for (TestColorSpace* space : {&TestColorSpace::Gray(), &TestColorSpace::Rgb()}) {
    const int32_t n = space->ComponentCount();
    for (bool constantMask : {false, true}) {
      SCOPED_TRACE(testing::Message() << n << (constantMask ? " constant mask" : " mask per pixel"));
      RasterDevice* device = RasterDevice::CreateForTarget(&context, arena, {0, 0, 4, 1}, space);
      const uint8_t maskBytes[] = {0, 100, 255, 128};
      PipelineNode* clipMask;
      if (constantMask) {
        clipMask = ShapeSource::FromFixed(arena, 0x6400);  // byte 100
      } else {
        auto* buffer = runtime::NewInArena<runtime::PixelBuffer>(arena, &context, &arena, IntRect{0, 0, 4, 1},
                                                                 PixelLayout::ForPlanes(-1, 2, 0, false), false);
        const PixelTriple planes = PixelTriple::OfBuffer(arena, *buffer);
        std::copy(maskBytes, maskBytes + 4, CursorAt(planes.shape, 0).pixel);
        clipMask = PlaneSource::Create(arena, planes);
      }
      const PixelRegion* region = PixelRegion::FromRect(arena, {0, 0, 4, 1});
      PipelineNode* coverage = PlaneSource::Create(arena, {PixelPlane::Opaque(), PixelPlane::Opaque(), nullptr});
      device->PaintSource(*region, nullptr, clipMask, coverage,
                          SolidColorSource::FromFixed(arena, std::vector<runtime::Fixed>(size_t(n), 0xc000)), nullptr);
      for (int32_t x = 0; x < 4; ++x) {
        const int m = constantMask ? 100 : maskBytes[x];
        // From white paper at alpha 0 towards the opaque colour.
        EXPECT_EQ(Alpha(*device, x, 0), Lerp255(0, 255, m)) << x;
        for (int32_t c = 0; c < n; ++c) EXPECT_EQ(Colour(*device, x, 0, c), Lerp255(255, 191, m)) << x;
      }
    }
  }
}

TEST_F(RasterDeviceTest, DodgingWithOpaqueBlackLeavesTheDeviceUnchanged) {
  RasterDevice* device = RasterDevice::CreateForTarget(&context, arena, {0, 0, 4, 1}, &TestColorSpace::Rgb());
  RasterDevice::FillRegion(*device, {0, 0, 4, 1}, nullptr, 0x4000, 0x8000, 0xc000);
  uint8_t before[4][4];
  for (int32_t x = 0; x < 4; ++x)
    for (int32_t c = 0; c < 3; ++c) before[x][c] = uint8_t(Colour(*device, x, 0, c));
  const PixelRegion* region = PixelRegion::FromRect(arena, {0, 0, 4, 1});
  PipelineNode* coverage = PlaneSource::Create(arena, {PixelPlane::Opaque(), PixelPlane::Opaque(), nullptr});
  device->PaintSource(*region, nullptr, nullptr, coverage, SolidColorSource::FromRgbFixed(arena, 0, 0, 0),
                      BlendFunction::Create(arena, kBlendColorDodge));
  for (int32_t x = 0; x < 4; ++x)
    for (int32_t c = 0; c < 3; ++c) EXPECT_EQ(Colour(*device, x, 0, c), before[x][c]) << x << "," << c;
}

TEST_F(RasterDeviceTest, MultiplyOnTheDevice) {
  RasterDevice* device = RasterDevice::CreateForTarget(&context, arena, {0, 0, 2, 2}, &TestColorSpace::Rgb());
  RasterDevice::FillRegion(*device, {0, 0, 2, 2}, nullptr, 0x8000, runtime::kFixedOne, 0x4000);
  const PixelRegion* region = PixelRegion::FromRect(arena, {0, 0, 2, 2});
  PipelineNode* coverage = PlaneSource::Create(arena, {PixelPlane::Opaque(), PixelPlane::Opaque(), nullptr});
  device->PaintSource(*region, nullptr, nullptr, coverage,
                      SolidColorSource::FromRgbFixed(arena, 0x8000, 0x8000, runtime::kFixedOne),
                      BlendFunction::Create(arena, kBlendMultiply));
  const int expected[] = {Mul255(127, 127), Mul255(255, 127), Mul255(64, 255)};
  for (int32_t c = 0; c < 3; ++c) EXPECT_EQ(Colour(*device, 1, 1, c), expected[c]) << c;
  EXPECT_EQ(Alpha(*device, 1, 1), 255);
}

TEST_F(RasterDeviceTest, ExhaustedMemoryIsOutOfMemory) {
  context.memory.SetBudget(uint32_t(context.memory.bytesInUse) + 64 * 1024);
  const auto code = testsupport::RaisedCode(
      [&] { RasterDevice::CreateForTarget(&context, arena, {0, 0, 4096, 4096}, &TestColorSpace::Rgb()); });
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, runtime::kOutOfMemory);
}

}  // namespace
}  // namespace raster

namespace raster {
namespace {

TEST_F(RasterDeviceTest, UnusableColourSpacesAndRectanglesAreRefused) {
  for (int32_t components : {0, -3, 33}) {
    TestColorSpace space(components, false);
    EXPECT_EQ(testsupport::RaisedCode([&] { RasterDevice::CreateForTarget(&context, arena, {0, 0, 4, 4}, &space); }),
              runtime::kMalformed)
        << components;
  }
  // A device too large to address is refused before anything is allocated.
  const auto code = testsupport::RaisedCode(
      [&] { RasterDevice::CreateForTarget(&context, arena, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, &TestColorSpace::Rgb()); });
  ASSERT_TRUE(code.has_value());
  EXPECT_TRUE(*code == runtime::kOverflow || *code == runtime::kOutOfMemory) << *code;
  // An empty device paints nothing and reads as its parent.
  RasterDevice* empty = RasterDevice::CreateForTarget(&context, arena, {5, 5, 5, 9}, &TestColorSpace::Rgb());
  EXPECT_TRUE(empty->Bounds().IsEmpty());
}

}  // namespace
}  // namespace raster
