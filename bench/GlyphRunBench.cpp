// A page of 3,000 glyphs (30 lines of 100, NimbusSans at 12 pixels) painted
// from cached 8-bit glyph bitmaps onto a 1024 x 1024 page. The bitmaps are
// FreeType's, made once before timing. Ours: each line placed as a glyph
// run, its bitmaps composed into a glyph mask and a solid colour painted
// through it into the page device. Cairo: the same bitmaps, as A8
// surfaces, painted one by one with cairo_mask_surface at the same pixel
// positions onto an ARGB32 image surface. Compare ours over cairo's.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
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
#include "tests/raster/FreeTypeBitmapFont.h"

namespace {

constexpr int kPage = 1024;
constexpr int kPixelSize = 12;
constexpr int kLines = 30;
constexpr int kPerLine = 100;
constexpr const char* kFontFile = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf";

// The FreeType bitmaps, as our font's cached glyphs and as cairo A8
// surfaces of the same bytes.
struct BitmapSet {
  rastertest::FreeTypeBitmapFont font{kFontFile, kPixelSize};
  cairo_surface_t* surfaces[128] = {};

  BitmapSet() {
    for (int c = 0; c < 128; ++c) {
      const rastertest::FreeTypeBitmapFont::Glyph& g = font.glyphs[c];
      if (g.record.empty()) continue;
      surfaces[c] = cairo_image_surface_create(CAIRO_FORMAT_A8, std::max(g.width, 1), std::max(g.rows, 1));
      uint8_t* pixels = cairo_image_surface_get_data(surfaces[c]);
      const int stride = cairo_image_surface_get_stride(surfaces[c]);
      for (int y = 0; y < g.rows; ++y) {
        std::memcpy(pixels + y * stride, g.bytes.data() + y * g.width, static_cast<size_t>(g.width));
      }
      cairo_surface_mark_dirty(surfaces[c]);
    }
  }
};

BitmapSet& Bitmaps() {
  static BitmapSet set;
  return set;
}

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

raster::TextState Text(runtime::FontBase& font) {
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
  if (!Bitmaps().font.loaded) {
    state.SkipWithError("font file missing");
    return;
  }
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 65536, 4096);
  BenchRgb rgb;
  runtime::FontBase& font = Bitmaps().font;
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
  if (!Bitmaps().font.loaded) {
    state.SkipWithError("font file missing");
    return;
  }
  // The same pixel positions as ours: placed once by a glyph run.
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 65536, 4096);
  rastertest::FreeTypeBitmapFont& font = Bitmaps().font;
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
      const rastertest::FreeTypeBitmapFont::Glyph& g = font.glyphs[record.glyph & 0x7f];
      cairo_surface_t* glyphSurface = Bitmaps().surfaces[record.glyph & 0x7f];
      if (glyphSurface == nullptr) continue;
      placed.push_back({glyphSurface, (record.origin.x >> 16) + g.left, (record.origin.y >> 16) - g.top});
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
