// Filling paths through the whole painting path against cairo's image
// surface, at the same anti-aliasing grid (4 x 4 samples per pixel: cairo's
// "fast" anti-aliasing) on a 1024 x 1024 page. Ours: the scan converter's
// coverage of a solid colour composited into a page device, then the
// painted rectangle transferred into an RGB565 host bitmap with the 2x2
// dither. Cairo: the same paths filled into an RGB565 image surface. Each
// benchmark pair reports the time of one frame; compare ours over cairo's.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "raster/ColorSpace.h"
#include "raster/ConstantSources.h"
#include "runtime/HostBitmap.h"
#include "raster/HostTransfer.h"
#include "raster/PathEdges.h"
#include "raster/PathScanConverter.h"
#include "raster/PixelRegion.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaScope.h"
#include "runtime/LibraryContext.h"
#include "runtime/Region.h"

namespace {

constexpr int kSize = 1024;

// A path as a list of commands both renderers replay.
struct Element {
  enum Kind { kMove, kLine, kCurve, kClose } kind;
  double p[6];
};
using Shape = std::vector<Element>;

Shape Star() {
  Shape shape;
  constexpr int kPoints = 1000;
  for (int i = 0; i < kPoints; ++i) {
    const double angle = i * 2 * M_PI / kPoints;
    const double r = (i % 2 == 0) ? 500 : 250;
    shape.push_back({i == 0 ? Element::kMove : Element::kLine,
                     {512 + r * std::cos(angle), 512 + r * std::sin(angle)}});
  }
  shape.push_back({Element::kClose, {}});
  return shape;
}

void AddCircle(Shape& shape, double cx, double cy, double r, bool reverse) {
  constexpr double k = 0.5522847498;
  const double sign = reverse ? -1 : 1;
  shape.push_back({Element::kMove, {cx + r, cy}});
  for (int q = 0; q < 4; ++q) {
    const double a0 = sign * q * M_PI / 2, a1 = sign * (q + 1) * M_PI / 2;
    const double x0 = std::cos(a0), y0 = std::sin(a0), x1 = std::cos(a1), y1 = std::sin(a1);
    shape.push_back({Element::kCurve,
                     {cx + r * (x0 - sign * k * y0), cy + r * (y0 + sign * k * x0),
                      cx + r * (x1 + sign * k * y1), cy + r * (y1 - sign * k * x1), cx + r * x1,
                      cy + r * y1}});
  }
  shape.push_back({Element::kClose, {}});
}

Shape Circle() {
  Shape shape;
  AddCircle(shape, 512, 512, 500, false);
  return shape;
}

// 500 ring-shaped outlines of glyph size (about 12 pixels) over the page.
std::vector<Shape> Glyphs() {
  std::vector<Shape> glyphs;
  for (int i = 0; i < 500; ++i) {
    const double x = 20 + (i % 40) * 25, y = 20 + (i / 40) * 40;
    Shape shape;
    AddCircle(shape, x + 0.3, y + 0.7, 6, false);
    AddCircle(shape, x + 0.3, y + 0.7, 3, true);
    shape.push_back({Element::kMove, {x - 6.2, y + 9}});
    shape.push_back({Element::kLine, {x + 6.5, y + 9}});
    shape.push_back({Element::kLine, {x + 6.5, y + 10.4}});
    shape.push_back({Element::kLine, {x - 6.2, y + 10.4}});
    shape.push_back({Element::kClose, {}});
    glyphs.push_back(std::move(shape));
  }
  return glyphs;
}

runtime::FixedPoint F(double x, double y) {
  return {runtime::FixedFromFloat(x), runtime::FixedFromFloat(y)};
}

// The page's colour space: three additive components, no conversion.
class BenchRgb final : public raster::ColorSpace {
 public:
  int32_t ComponentCount() const override { return 3; }
  bool IsSubtractive() const override { return false; }
  runtime::PixelConverter* MakeConverter(runtime::ArenaAllocator&, const raster::ColorSpace&) override {
    return nullptr;
  }
};

// An RGB565 bitmap in memory, as the host's screen bitmaps are.
class Bitmap565 final : public runtime::HostBitmap {
 public:
  Bitmap565() : pixels_(static_cast<size_t>(kSize) * kSize, 0xFFFF) {
    layout_ = {runtime::kHostRgb565, kSize, kSize, reinterpret_cast<uint8_t*>(pixels_.data()), kSize * 2};
  }
  const runtime::HostPixelLayout* Begin(uintptr_t) override { return &layout_; }
  void End() override {}
  const runtime::HostPixelLayout* Layout() override { return &layout_; }
  const uint16_t* Data() const { return pixels_.data(); }

 private:
  std::vector<uint16_t> pixels_;
  runtime::HostPixelLayout layout_;
};

raster::StoredPath PathOf(runtime::ArenaAllocator& arena, const Shape& shape) {
  raster::StoredPath path(arena, static_cast<uint32_t>(shape.size() * 3 + 1));
  for (const Element& e : shape) {
    switch (e.kind) {
      case Element::kMove: path.MoveTo(F(e.p[0], e.p[1])); break;
      case Element::kLine: path.LineTo(F(e.p[0], e.p[1])); break;
      case Element::kCurve:
        path.CurveTo(F(e.p[0], e.p[1]), F(e.p[2], e.p[3]), F(e.p[4], e.p[5]));
        break;
      case Element::kClose: path.Close(); break;
    }
  }
  return path;
}

void BM_Ours(benchmark::State& state, const std::vector<Shape>& shapes) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 16384, 4096);
  BenchRgb rgb;
  Bitmap565 bitmap;
  const runtime::IntRect page{0, 0, kSize, kSize};
  raster::RasterDevice* device = raster::RasterDevice::CreateForTarget(&context, arena, page, &rgb);
  const raster::PixelRegion* region = raster::PixelRegion::FromRect(arena, page);
  for (auto _ : state) {
    runtime::IntRect dirty{0, 0, 0, 0};
    for (const Shape& shape : shapes) {
      runtime::ArenaScope scope(arena);
      const raster::StoredPath path = PathOf(arena, shape);
      auto* coverage = runtime::NewInArena<raster::PathScanConverter>(arena, &context, arena, path.Points(),
                                                                       runtime::Matrix{}, page, false);
      const runtime::IntRect bounds = coverage->ShapeBounds();
      if (bounds.IsEmpty()) continue;
      dirty = raster::UnionRects(dirty, bounds);
      device->PaintSource(*raster::PixelRegion::FromRect(arena, bounds), region, nullptr, coverage,
                          raster::SolidColorSource::FromRgbFixed(arena, runtime::kFixedOne, 0, 0), nullptr);
    }
    // What the frame painted goes to the screen bitmap.
    runtime::ArenaScope scope(arena);
    runtime::Region changed(&context);
    changed.FromRect(dirty);
    raster::HostTransfer::PaintNode(bitmap, arena, changed, 0, 0,
                                    device->DeviceSource(*raster::PixelRegion::FromRect(arena, dirty)));
    benchmark::DoNotOptimize(bitmap.Data());
  }
}

void BM_Cairo(benchmark::State& state, const std::vector<Shape>& shapes) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB16_565, kSize, kSize);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 1, 0, 0);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_FAST);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  for (auto _ : state) {
    for (const Shape& shape : shapes) {
      for (const Element& e : shape) {
        switch (e.kind) {
          case Element::kMove: cairo_move_to(cr, e.p[0], e.p[1]); break;
          case Element::kLine: cairo_line_to(cr, e.p[0], e.p[1]); break;
          case Element::kCurve:
            cairo_curve_to(cr, e.p[0], e.p[1], e.p[2], e.p[3], e.p[4], e.p[5]);
            break;
          case Element::kClose: cairo_close_path(cr); break;
        }
      }
      cairo_fill(cr);
    }
    cairo_surface_flush(surface);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

const std::vector<Shape>& StarShapes() {
  static const std::vector<Shape> shapes{Star()};
  return shapes;
}
const std::vector<Shape>& CircleShapes() {
  static const std::vector<Shape> shapes{Circle()};
  return shapes;
}
const std::vector<Shape>& GlyphShapes() {
  static const std::vector<Shape> shapes = Glyphs();
  return shapes;
}

void BM_StarOurs(benchmark::State& state) { BM_Ours(state, StarShapes()); }
void BM_StarCairo(benchmark::State& state) { BM_Cairo(state, StarShapes()); }
void BM_CircleOurs(benchmark::State& state) { BM_Ours(state, CircleShapes()); }
void BM_CircleCairo(benchmark::State& state) { BM_Cairo(state, CircleShapes()); }
void BM_GlyphsOurs(benchmark::State& state) { BM_Ours(state, GlyphShapes()); }
void BM_GlyphsCairo(benchmark::State& state) { BM_Cairo(state, GlyphShapes()); }

BENCHMARK(BM_StarOurs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StarCairo)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CircleOurs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CircleCairo)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GlyphsOurs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GlyphsCairo)->Unit(benchmark::kMicrosecond);

}  // namespace
