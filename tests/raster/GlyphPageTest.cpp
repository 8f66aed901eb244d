// Glyph bitmaps painted through a glyph run against cairo painting the same
// bitmaps (FreeType's, NimbusSans at 13 pixels) at the same pixel positions:
// black text on the white page must agree within one level per channel.
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "raster/ConstantSources.h"
#include "raster/Renderer.h"
#include "runtime/ArenaAllocator.h"
#include "tests/raster/TestColorSpace.h"

namespace raster {
namespace {

constexpr const char* kNimbusSans = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf";
constexpr int kWidth = 400, kHeight = 80, kPixels = 13;

// Bitmaps from FreeType, handed out as a font's cached glyph bitmaps.
class FreeTypeBitmapFont final : public runtime::FontBase {
 public:
  struct Glyph {
    std::vector<uint64_t> record;
    int left = 0, top = 0, width = 0, rows = 0;
    std::vector<uint8_t> bytes;
    runtime::Fixed advance = 0;
  };
  explicit FreeTypeBitmapFont(const char* file) {
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) != 0) return;
    if (FT_New_Face(library, file, 0, &face) == 0) {
      FT_Set_Pixel_Sizes(face, 0, kPixels);
      for (int c = 32; c < 127; ++c) {
        if (FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER) != 0) continue;
        const FT_Bitmap& b = face->glyph->bitmap;
        Glyph& g = glyphs[c];
        g.left = face->glyph->bitmap_left;
        g.top = face->glyph->bitmap_top;
        g.width = static_cast<int>(b.width);
        g.rows = static_cast<int>(b.rows);
        g.advance = static_cast<runtime::Fixed>((int64_t{face->glyph->advance.x} << 10) / kPixels);
        g.record.assign((sizeof(runtime::GlyphBitmapRecord) + static_cast<size_t>(g.width * g.rows) + 7) / 8, 0);
        auto* record = reinterpret_cast<runtime::GlyphBitmapRecord*>(g.record.data());
        *record = runtime::GlyphBitmapRecord{g.left, -g.top, 0, 0, g.width, g.rows};
        for (int y = 0; y < g.rows; ++y) {
          std::memcpy(record->Coverage() + y * g.width, b.buffer + y * b.pitch, static_cast<size_t>(g.width));
          g.bytes.insert(g.bytes.end(), b.buffer + y * b.pitch, b.buffer + y * b.pitch + g.width);
        }
      }
      FT_Done_Face(face);
      loaded = true;
    }
    FT_Done_FreeType(library);
  }
  bool DrawsAsGraphics() const override { return false; }
  uint32_t MemorySize() const override { return 0; }
  const uint8_t* NextGlyph(const uint8_t* cursor, const uint8_t*, runtime::GlyphInfo& out) override {
    out = runtime::GlyphInfo{};
    out.glyph = out.code = *cursor & 0x7f;
    out.advance = glyphs[out.glyph].advance;
    return cursor + 1;
  }
  const runtime::GlyphBitmapRecord* GlyphBitmap(uint32_t glyph, const runtime::Matrix&, uint32_t,
                                                const runtime::IntRect&, bool, runtime::ArenaAllocator&) override {
    const Glyph& g = glyphs[glyph & 0x7f];
    return g.record.empty() ? nullptr : reinterpret_cast<const runtime::GlyphBitmapRecord*>(g.record.data());
  }

  Glyph glyphs[128];
  bool loaded = false;
};

TEST(GlyphPageTest, GlyphRunsPaintLikeCairoMaskingTheSameBitmaps) {
  if (!std::filesystem::exists(kNimbusSans)) {
    if (std::getenv("CI") != nullptr) FAIL() << "fonts-urw-base35 is missing";
    GTEST_SKIP() << "fonts-urw-base35 is missing";
  }
  FreeTypeBitmapFont font(kNimbusSans);
  ASSERT_TRUE(font.loaded);
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 65536, 4096);
  RasterDevice* device =
      RasterDevice::CreateForTarget(&context, arena, {0, 0, kWidth, kHeight}, &rastertest::TestColorSpace::Rgb());
  Renderer renderer(&context, arena, *device);
  renderer.SetFillSource(SolidColorSource::FromRgbFixed(arena, 0, 0, 0));

  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);

  const char* lines[] = {"Sphinx of black quartz, judge my vow!", "{[(0123456789)]} @#$%&*+=<>?/\\|~^",
                         "overlapping kerned text: AVAWAY"};
  for (int i = 0; i < 3; ++i) {
    TextState text;
    text.font = &font;
    text.fontSize = runtime::FixedFromInt(kPixels);
    // Overlap the glyphs of the last line, so that their bitmaps combine.
    text.charSpacing = i == 2 ? -runtime::FixedFromInt(2) : 0;
    const Matrix textMatrix{runtime::kFixedOne, 0, 0, runtime::kFixedOne, runtime::FixedFromFloat(4.3),
                            runtime::FixedFromInt(kHeight - 18 - 24 * i)};
    const Matrix deviceMatrix{runtime::kFixedOne, 0, 0, -runtime::kFixedOne, 0, runtime::FixedFromInt(kHeight)};
    GlyphRun run(&context, arena, text, textMatrix, deviceMatrix);
    run.ShowString(reinterpret_cast<const uint8_t*>(lines[i]), static_cast<uint32_t>(std::strlen(lines[i])));
    renderer.ShowGlyphs(run);
    // Cairo: the glyphs one by one; where bitmaps overlap, the union of
    // their bytes (bitwise OR) is one mask, as in our glyph mask.
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, kWidth, kHeight);
    uint8_t* bytes = cairo_image_surface_get_data(mask);
    const int stride = cairo_image_surface_get_stride(mask);
    for (const GlyphRecord& record : run.Records()) {
      const FreeTypeBitmapFont::Glyph& g = font.glyphs[record.glyph];
      const int x0 = (record.origin.x >> 16) + g.left, y0 = (record.origin.y >> 16) - g.top;
      for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < g.width; ++x)
          if (x0 + x >= 0 && x0 + x < kWidth && y0 + y >= 0 && y0 + y < kHeight)
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
  for (int y = 0; y < kHeight; ++y) {
    PixelPlane colour = *device->Target().colour;
    colour.SetRow(y);
    for (int x = 0; x < kWidth; ++x) {
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
