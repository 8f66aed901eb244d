// Text painted by render mode through the renderer, on a stub font: fills,
// strokes (through the stroke hook), invisible text and text clips.
#include "raster/Renderer.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "raster/ConstantSources.h"
#include "raster/PaintObject.h"
#include "runtime/ArenaAllocator.h"
#include "tests/raster/StubFont.h"
#include "tests/raster/TestColorSpace.h"

namespace raster {
namespace {

using runtime::FixedFromInt;
using runtime::kFixedOne;
using DevicePixel = std::array<int, 4>;  // alpha, then three colour channels

constexpr IntRect kTextDevice{0, 0, 64, 32};

class RendererTextTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 65536, 4096};
  rastertest::StubFont font;  // 0.5 × 0.7 glyph boxes
  // Device y grows downwards; the baseline sits at y = 20.
  const Matrix ctm{kFixedOne, 0, 0, -kFixedOne, 0, FixedFromInt(32)};

  RasterDevice* NewDevice() {
    return RasterDevice::CreateForTarget(&context, arena, kTextDevice, &rastertest::TestColorSpace::Rgb());
  }
  static DevicePixel At(const RasterDevice& device, int32_t x, int32_t y) {
    PixelPlane colour = *device.Target().colour, alpha = *device.Target().alpha;
    colour.SetRow(y);
    alpha.SetRow(y);
    return {*CursorAt(&alpha, x).Channel(0), *CursorAt(&colour, x).Channel(0), *CursorAt(&colour, x).Channel(1),
            *CursorAt(&colour, x).Channel(2)};
  }
  // The pixel a colour paints, read from a device painted with it.
  DevicePixel ColourOf(Fixed r, Fixed g, Fixed b) {
    RasterDevice* device = NewDevice();
    RasterDevice::FillRegion(*device, kTextDevice, nullptr, r, g, b);
    return At(*device, 0, 0);
  }
  // A run of `text` at size 10 from text-space (x, 12) (device y = 20).
  GlyphRun* Run(const std::string& text, uint8_t mode, int x = 10) {
    TextState state;
    state.font = &font;
    state.fontSize = FixedFromInt(10);
    state.renderMode = mode;
    auto* run = runtime::NewInArena<GlyphRun>(arena, &context, arena, state,
                                              Matrix{kFixedOne, 0, 0, kFixedOne, FixedFromInt(x), FixedFromInt(12)},
                                              ctm);
    run->ShowString(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()));
    return run;
  }
  // Glyph i of a run starting at device x covers [x + 5i, x + 5i + 5) ×
  // [13, 20).
  static bool InGlyphs(int32_t x, int32_t y, int count, int start = 10) {
    return y >= 13 && y < 20 && x >= start && x < start + 5 * count;
  }
};

// A stroke stand-in: fills the outline it is given with the stroke colour.
void FillOutlineAsStroke(void* user, Renderer& renderer, std::span<const FixedPoint> outline) {
  ++*static_cast<int*>(user);
  PipelineNode* coverage =
      PaintObject::Create(renderer.Context(), renderer.Arena(), renderer.Device().Bounds(), outline, Matrix{}, false);
  renderer.PaintCoverage(coverage, SolidColorSource::FromRgbFixed(renderer.Arena(), 0, 0, kFixedOne));
}

TEST_F(RendererTextTest, EveryRenderModePaintsAndClipsAsItSays) {
  const DevicePixel paper = At(*NewDevice(), 0, 0);
  const DevicePixel red = ColourOf(kFixedOne, 0, 0), blue = ColourOf(0, 0, kFixedOne), green = ColourOf(0, kFixedOne, 0);
  struct Case {
    uint8_t mode;
    DevicePixel glyph;  // inside the glyphs before ET
    bool clips;
  } cases[] = {
      {0, red, false},   {1, blue, false}, {2, blue, false}, {3, paper, false},
      {4, red, true},    {5, blue, true},  {6, blue, true},  {7, paper, true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(static_cast<int>(test.mode));
    RasterDevice* device = NewDevice();
    Renderer renderer(&context, arena, *device);
    int strokes = 0;
    renderer.strokeText = FillOutlineAsStroke;
    renderer.strokeUser = &strokes;
    renderer.SetFillSource(SolidColorSource::FromRgbFixed(arena, kFixedOne, 0, 0));
    renderer.ShowGlyphs(*Run("AB", test.mode));
    EXPECT_EQ(strokes, test.mode == 1 || test.mode == 2 || test.mode == 5 || test.mode == 6 ? 1 : 0);
    for (int32_t y = 0; y < 32; ++y)
      for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(At(*device, x, y), InGlyphs(x, y, 2) ? test.glyph : paper) << x << "," << y;

    EXPECT_EQ(renderer.HasPendingTextClip(), test.clips);
    renderer.EndText();
    // A rectangle filled after ET lands inside the glyphs only, for the
    // clipping modes, and everywhere for the others.
    PipelineNode* full = PlaneSource::Create(arena, {PixelPlane::Opaque(), PixelPlane::Opaque(), nullptr});
    renderer.PaintCoverage(full, SolidColorSource::FromRgbFixed(arena, 0, kFixedOne, 0));
    for (int32_t y = 0; y < 32; ++y)
      for (int32_t x = 0; x < 64; ++x) {
        const bool inside = InGlyphs(x, y, 2);
        ASSERT_EQ(At(*device, x, y), !test.clips || inside ? green : inside ? test.glyph : paper) << x << "," << y;
      }
  }
}

TEST_F(RendererTextTest, ClippingTextOffThePageClipsEverythingAway) {
  RasterDevice* device = NewDevice();
  const DevicePixel paper = At(*device, 0, 0);
  Renderer renderer(&context, arena, *device);
  renderer.ShowGlyphs(*Run("AB", 7, 5000));
  renderer.EndText();
  PipelineNode* full = PlaneSource::Create(arena, {PixelPlane::Opaque(), PixelPlane::Opaque(), nullptr});
  renderer.PaintCoverage(full, SolidColorSource::FromRgbFixed(arena, 0, kFixedOne, 0));
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(At(*device, x, y), paper);
}

TEST_F(RendererTextTest, TextClipsIntersectTheClipInForce) {
  RasterDevice* device = NewDevice();
  const DevicePixel paper = At(*device, 0, 0), green = ColourOf(0, kFixedOne, 0);
  Renderer renderer(&context, arena, *device);
  // A clip of columns 0-12: only the first glyph's first three columns
  // survive the text clip.
  renderer.SetClip(*PixelRegion::FromRect(arena, {0, 0, 13, 32}), nullptr);
  renderer.ShowGlyphs(*Run("AB", 7));
  renderer.EndText();
  renderer.PaintCoverage(PlaneSource::Create(arena, {PixelPlane::Opaque(), PixelPlane::Opaque(), nullptr}),
                         SolidColorSource::FromRgbFixed(arena, 0, kFixedOne, 0));
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 64; ++x)
      ASSERT_EQ(At(*device, x, y), InGlyphs(x, y, 2) && x < 13 ? green : paper) << x << "," << y;
}

TEST_F(RendererTextTest, RunsWiderThanTheDevicePaintOnlyTheirVisiblePart) {
  RasterDevice* device = NewDevice();
  const DevicePixel red = ColourOf(kFixedOne, 0, 0), paper = At(*device, 0, 0);
  Renderer renderer(&context, arena, *device);
  renderer.SetFillSource(SolidColorSource::FromRgbFixed(arena, kFixedOne, 0, 0));
  // 2,000 glyphs from x = -4000: the device shows glyphs 788 to 800.
  font.bitmapRequests = 0;
  renderer.ShowGlyphs(*Run(std::string(2000, 'A'), 0, -4000));
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(At(*device, x, y), y >= 13 && y < 20 ? red : paper) << x << "," << y;
  // Only glyphs near the device asked for bitmaps.
  EXPECT_LE(font.bitmapRequests, 40);
}

TEST_F(RendererTextTest, FontsWithoutBitmapsPaintTheirOutlines) {
  const DevicePixel red = ColourOf(kFixedOne, 0, 0);
  RasterDevice* device = NewDevice();
  const DevicePixel paper = At(*device, 0, 0);
  font.noBitmaps = true;
  Renderer renderer(&context, arena, *device);
  renderer.SetFillSource(SolidColorSource::FromRgbFixed(arena, kFixedOne, 0, 0));
  renderer.ShowGlyphs(*Run("AB", 0));
  EXPECT_GT(font.outlinesBuilt, 0);
  // The outline's box is 7.0 high from 0xB333 × 10: rows 13 to 19 are
  // covered (the top row almost fully).
  for (int32_t x = 0; x < 64; ++x) {
    EXPECT_EQ(At(*device, x, 16), x >= 10 && x < 20 ? red : paper) << x;
    EXPECT_EQ(At(*device, x, 25), paper);
  }
}

}  // namespace
}  // namespace raster

namespace raster {
namespace {

TEST_F(RendererTextTest, GlyphsPastTheFixedRangeAreSkippedNotWrappedBackIn) {
  // Device x = 65,546 pixels: wrapped to 16.16 it would land at x = 10.
  RasterDevice* device = NewDevice();
  const DevicePixel paper = At(*device, 0, 0);
  Renderer renderer(&context, arena, *device);
  renderer.SetFillSource(SolidColorSource::FromRgbFixed(arena, kFixedOne, 0, 0));
  TextState state;
  state.font = &font;
  state.fontSize = FixedFromInt(10);
  const Matrix far{FixedFromInt(1000), 0, 0, -kFixedOne, 0, FixedFromInt(32)};
  GlyphRun run(&context, arena, state, {kFixedOne, 0, 0, kFixedOne, runtime::FixedFromFloat(65.546), FixedFromInt(12)},
               far);
  run.ShowString(reinterpret_cast<const uint8_t*>("AB"), 2);
  renderer.ShowGlyphs(run);
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(At(*device, x, y), paper) << x << "," << y;
}

TEST_F(RendererTextTest, BeginTextShowTestsBoundsAgainstTheClip) {
  RasterDevice* device = NewDevice();
  Renderer renderer(&context, arena, *device);
  rastertest::StubFont silent;
  silent.drawsNothing = true;
  const Fixed big = runtime::kFixedMax, small = runtime::kFixedMin;
  struct Case {
    const char* name;
    runtime::Rect bounds;
    bool silentFont;
    int expected;
    bool skip;
  } cases[] = {
      {"inside", {FixedFromInt(5), FixedFromInt(5), FixedFromInt(9), FixedFromInt(9)}, false, 1, false},
      {"outside", {FixedFromInt(500), FixedFromInt(5), FixedFromInt(509), FixedFromInt(9)}, false, 0, false},
      {"empty bounds are not tested", {big, big, small, small}, false, 1, false},
      {"unbounded sets skip", {small, small, big, big}, false, 1, true},
      {"a font that draws nothing", {FixedFromInt(5), FixedFromInt(5), FixedFromInt(9), FixedFromInt(9)}, true, 0,
       false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    bool skip = !test.skip;
    EXPECT_EQ(renderer.BeginTextShow(skip, test.bounds, test.silentFont ? silent : font, 0), test.expected);
    if (test.expected == 1) {
      EXPECT_EQ(skip, test.skip);
    }
  }
}

}  // namespace
}  // namespace raster

namespace raster {
namespace {

TEST_F(RendererTextTest, TextAsBoxesPaintsHalfCoverageOverEachSegment) {
  RasterDevice* device = NewDevice();
  const DevicePixel paper = At(*device, 0, 0), red = ColourOf(kFixedOne, 0, 0);
  Renderer renderer(&context, arena, *device);
  renderer.glyphDrawing = GlyphDrawing::kBoxes;
  renderer.SetFillSource(SolidColorSource::FromRgbFixed(arena, kFixedOne, 0, 0));
  renderer.ShowGlyphs(*Run("AB", 0));
  // One box from x = 10 to 20, 0.65 of the glyphs' 7-pixel height above the
  // baseline at y = 20.
  const DevicePixel inside = At(*device, 12, 18);
  EXPECT_NE(inside, paper);
  EXPECT_NE(inside, red);
  EXPECT_NEAR(inside[2], (paper[2] + red[2]) / 2, 2);  // half way on a channel that differs
  EXPECT_EQ(At(*device, 12, 14), paper);
  EXPECT_EQ(At(*device, 25, 18), paper);
}

}  // namespace
}  // namespace raster
