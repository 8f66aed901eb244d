// Glyph bitmaps painted through a glyph run against cairo painting the same
// bitmaps (FreeType's, NimbusSans at 13 pixels) at the same pixel positions:
// black text on the white page must agree within one level per channel.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "raster/ConstantSources.h"
#include "raster/Renderer.h"
#include "runtime/ArenaAllocator.h"
#include "tests/raster/FreeTypeBitmapFont.h"
#include "tests/raster/TestColorSpace.h"

namespace raster {
namespace {

constexpr const char* kNimbusSans = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf";
constexpr int kGlyphPageWidth = 400, kGlyphPageHeight = 80, kGlyphPagePixels = 13;

TEST(GlyphPageTest, GlyphRunsPaintLikeCairoMaskingTheSameBitmaps) {
  if (!std::filesystem::exists(kNimbusSans)) {
    if (std::getenv("CI") != nullptr) FAIL() << "fonts-urw-base35 is missing";
    GTEST_SKIP() << "fonts-urw-base35 is missing";
  }
  rastertest::FreeTypeBitmapFont font(kNimbusSans, kGlyphPagePixels);
  ASSERT_TRUE(font.loaded);
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 65536, 4096);
  RasterDevice* device =
      RasterDevice::CreateForTarget(&context, arena, {0, 0, kGlyphPageWidth, kGlyphPageHeight}, &rastertest::TestColorSpace::Rgb());
  Renderer renderer(&context, arena, *device);
  renderer.SetFillSource(SolidColorSource::FromRgbFixed(arena, 0, 0, 0));

  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kGlyphPageWidth, kGlyphPageHeight);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);

  const char* lines[] = {"Sphinx of black quartz, judge my vow!", "{[(0123456789)]} @#$%&*+=<>?/\\|~^",
                         "overlapping kerned text: AVAWAY"};
  for (int i = 0; i < 3; ++i) {
    TextState text;
    text.font = &font;
    text.fontSize = runtime::FixedFromInt(kGlyphPagePixels);
    // Overlap the glyphs of the last line, so that their bitmaps combine.
    text.charSpacing = i == 2 ? -runtime::FixedFromInt(2) : 0;
    const Matrix textMatrix{runtime::kFixedOne, 0, 0, runtime::kFixedOne, runtime::FixedFromFloat(4.3),
                            runtime::FixedFromInt(kGlyphPageHeight - 18 - 24 * i)};
    const Matrix deviceMatrix{runtime::kFixedOne, 0, 0, -runtime::kFixedOne, 0, runtime::FixedFromInt(kGlyphPageHeight)};
    GlyphRun run(&context, arena, text, textMatrix, deviceMatrix);
    run.ShowString(reinterpret_cast<const uint8_t*>(lines[i]), static_cast<uint32_t>(std::strlen(lines[i])));
    renderer.ShowGlyphs(run);
    // Cairo: the glyphs one by one; where bitmaps overlap, the union of
    // their bytes (bitwise OR) is one mask, as in our glyph mask.
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, kGlyphPageWidth, kGlyphPageHeight);
    uint8_t* bytes = cairo_image_surface_get_data(mask);
    const int stride = cairo_image_surface_get_stride(mask);
    for (const GlyphRecord& record : run.Records()) {
      const rastertest::FreeTypeBitmapFont::Glyph& g = font.glyphs[record.glyph];
      const int x0 = (record.origin.x >> 16) + g.left, y0 = (record.origin.y >> 16) - g.top;
      for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < g.width; ++x)
          if (x0 + x >= 0 && x0 + x < kGlyphPageWidth && y0 + y >= 0 && y0 + y < kGlyphPageHeight)
            bytes[(y0 + y) * stride + x0 + x] |= g.bytes[static_cast<size_t>(y * g.width + x)];
    }
    cairo_surface_mark_dirty(mask);
    cairo_mask_surface(cr, mask, 0, 0);
    cairo_surface_destroy(mask);
  }
  cairo_surface_flush(surface);

  const uint8_t* reference = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  int inked = 0;
  for (int y = 0; y < kGlyphPageHeight; ++y) {
    PixelPlane colour = *device->Target().colour;
    colour.SetRow(y);
    for (int x = 0; x < kGlyphPageWidth; ++x) {
      const int theirs = reference[y * stride + 4 * x];  // blue of a grey pixel
      const int ours = *CursorAt(&colour, x).Channel(2);
      ASSERT_LE(std::abs(theirs - ours), 1) << x << "," << y;
      inked += ours < 128;
    }
  }
  EXPECT_GT(inked, 500);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

}  // namespace
}  // namespace raster
