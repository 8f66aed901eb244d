// A page of 3,000 glyphs (30 lines of 100, NimbusSans at 12 pixels) painted
// from cached 8-bit glyph bitmaps onto a 1024 x 1024 page. The bitmaps are
// FreeType's, made once before timing. Ours: each line placed as a glyph
// run, its bitmaps composed into a glyph mask and a solid colour painted
// through it into the page device. Cairo: the same bitmaps, as A8
// surfaces, painted one by one with cairo_mask_surface at the same pixel
// positions onto an ARGB32 image surface. Compare ours over cairo's.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "raster/ColorSpace.h"
#include "raster/ConstantSources.h"
#include "raster/GlyphRun.h"
#include "raster/GlyphSource.h"
#include "raster/PixelRegion.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaScope.h"
#include "runtime/FontBase.h"
#include "runtime/LibraryContext.h"

namespace {

constexpr int kPage = 1024;
constexpr int kPixelSize = 12;
constexpr int kLines = 30;
constexpr int kPerLine = 100;
constexpr const char* kFontFile = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf";

// FreeType's bitmap of one character: our record (box, then the bytes) and
// the same pixels as a cairo A8 surface.
struct Bitmap {
  std::vector<uint64_t> record;  // GlyphBitmapRecord and bytes, 8-byte aligned
  cairo_surface_t* surface = nullptr;
  int left = 0, top = 0;
  runtime::Fixed advance = 0;  // text space, font size 1
};

struct BitmapSet {
  Bitmap glyphs[128];
  bool ok = false;

  BitmapSet() {
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) != 0) return;
    if (FT_New_Face(library, kFontFile, 0, &face) != 0) return;
    FT_Set_Pixel_Sizes(face, 0, kPixelSize);
    for (int c = 32; c < 127; ++c) {
      if (FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER) != 0) continue;
      const FT_Bitmap& b = face->glyph->bitmap;
      Bitmap& g = glyphs[c];
      g.left = face->glyph->bitmap_left;
      g.top = face->glyph->bitmap_top;
      g.advance = static_cast<runtime::Fixed>((int64_t{face->glyph->advance.x} << 10) / kPixelSize);
      const int w = static_cast<int>(b.width), h = static_cast<int>(b.rows);
      g.record.assign((sizeof(runtime::GlyphBitmapRecord) + static_cast<size_t>(w * h) + 7) / 8, 0);
      auto* record = reinterpret_cast<runtime::GlyphBitmapRecord*>(g.record.data());
      *record = runtime::GlyphBitmapRecord{g.left, -g.top, 0, 0, w, h};
      g.surface = cairo_image_surface_create(CAIRO_FORMAT_A8, std::max(w, 1), std::max(h, 1));
      uint8_t* pixels = cairo_image_surface_get_data(g.surface);
      const int stride = cairo_image_surface_get_stride(g.surface);
      for (int y = 0; y < h; ++y) {
        std::memcpy(record->Coverage() + y * w, b.buffer + y * b.pitch, static_cast<size_t>(w));
        std::memcpy(pixels + y * stride, b.buffer + y * b.pitch, static_cast<size_t>(w));
      }
      cairo_surface_mark_dirty(g.surface);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    ok = true;
  }
};

const BitmapSet& Bitmaps() {
  static const BitmapSet set;
  return set;
}

// A font whose glyphs are the cached FreeType bitmaps.
class BitmapFont final : public runtime::FontBase {
 public:
  bool DrawsAsGraphics() const override { return false; }
  uint32_t MemorySize() const override { return 0; }
  const uint8_t* NextGlyph(const uint8_t* cursor, const uint8_t*, runtime::GlyphInfo& out) override {
    out = runtime::GlyphInfo{};
    out.glyph = out.code = *cursor & 0x7f;
    out.advance = Bitmaps().glyphs[out.glyph].advance;
    out.wordSpace = *cursor == 32;
    return cursor + 1;
  }
  const runtime::GlyphBitmapRecord* GlyphBitmap(uint32_t glyph, const runtime::Matrix&, uint32_t,
                                                const runtime::IntRect&, bool, runtime::ArenaAllocator&) override {
    const Bitmap& g = Bitmaps().glyphs[glyph & 0x7f];
    if (g.record.empty()) return nullptr;
    return reinterpret_cast<const runtime::GlyphBitmapRecord*>(g.record.data());
  }
};

class BenchRgb final : public raster::ColorSpace {
 public:
  int32_t ComponentCount() const override { return 3; }
  bool IsSubtractive() const override { return false; }
  runtime::PixelConverter* MakeConverter(runtime::ArenaAllocator&, const raster::ColorSpace&) override {
    return nullptr;
  }
};

// The text of line i: printable characters in a changing order.
std::string LineText(int line) {
  std::string text(kPerLine, ' ');
  for (int i = 0; i < kPerLine; ++i) text[i] = static_cast<char>(33 + (line * 7 + i * 13) % 94);
  return text;
}

raster::TextState Text(BitmapFont& font) {
  raster::TextState text;
  text.font = &font;
  text.fontSize = runtime::FixedFromInt(kPixelSize);
  return text;
}
runtime::Matrix LineMatrix(int line) {
  return {runtime::kFixedOne, 0, 0, runtime::kFixedOne, runtime::FixedFromInt(8),
          runtime::FixedFromInt(kPage - 20 - line * 33)};
}
// Device y grows downwards.
constexpr runtime::Matrix kDeviceMatrix{runtime::kFixedOne, 0, 0, -runtime::kFixedOne, 0,
                                        runtime::FixedFromInt(kPage)};

void BM_GlyphPageOurs(benchmark::State& state) {
  if (!Bitmaps().ok) {
    state.SkipWithError("font file missing");
    return;
  }
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 65536, 4096);
  BenchRgb rgb;
  BitmapFont font;
  const runtime::IntRect page{0, 0, kPage, kPage};
  raster::RasterDevice* device = raster::RasterDevice::CreateForTarget(&context, arena, page, &rgb);
  const raster::PixelRegion* pageRegion = raster::PixelRegion::FromRect(arena, page);
  std::vector<std::string> lines;
  for (int i = 0; i < kLines; ++i) lines.push_back(LineText(i));
  for (auto _ : state) {
    for (int i = 0; i < kLines; ++i) {
      runtime::ArenaScope scope(arena);
      raster::GlyphRun run(&context, arena, Text(font), LineMatrix(i), kDeviceMatrix);
      run.ShowString(reinterpret_cast<const uint8_t*>(lines[i].data()), kPerLine);
      raster::PipelineNode* coverage =
          raster::GlyphSource::Create(&context, arena, page, raster::GlyphDrawing::kGlyphs, font, run.GlyphMatrix(),
                                      run.Records(), raster::GlyphSource::kDefaultSizeLimit);
      if (coverage->bounds.IsEmpty()) continue;
      device->PaintSource(*raster::PixelRegion::FromRect(arena, coverage->bounds), pageRegion, nullptr, coverage,
                          raster::SolidColorSource::FromRgbFixed(arena, 0, 0, 0), nullptr);
    }
    benchmark::DoNotOptimize(device->Target().colour->base);
  }
  state.counters["glyphs"] = kLines * kPerLine;
}
BENCHMARK(BM_GlyphPageOurs)->Unit(benchmark::kMicrosecond);

void BM_GlyphPageCairo(benchmark::State& state) {
  if (!Bitmaps().ok) {
    state.SkipWithError("font file missing");
    return;
  }
  // The same pixel positions as ours: placed once by a glyph run.
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 65536, 4096);
  BitmapFont font;
  struct Placed {
    cairo_surface_t* surface;
    int x, y;
  };
  std::vector<Placed> placed;
  for (int i = 0; i < kLines; ++i) {
    const std::string text = LineText(i);
    raster::GlyphRun run(&context, arena, Text(font), LineMatrix(i), kDeviceMatrix);
    run.ShowString(reinterpret_cast<const uint8_t*>(text.data()), kPerLine);
    for (const raster::GlyphRecord& record : run.Records()) {
      const Bitmap& g = Bitmaps().glyphs[record.glyph];
      if (g.surface == nullptr) continue;
      placed.push_back({g.surface, (record.origin.x >> 16) + g.left, (record.origin.y >> 16) - g.top});
    }
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kPage, kPage);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  for (auto _ : state) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (const Placed& p : placed) cairo_mask_surface(cr, p.surface, p.x, p.y);
    cairo_surface_flush(surface);
    benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  state.counters["glyphs"] = static_cast<double>(placed.size());
}
BENCHMARK(BM_GlyphPageCairo)->Unit(benchmark::kMicrosecond);

}  // namespace
