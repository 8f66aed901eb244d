// The scan converter against cairo's image surface: the same paths filled
// on a 1024 x 1024 RGB565 target with anti-aliasing. Each benchmark pair
// reports the time of one frame; compare ours over cairo's.
//
// Ours runs the converter's runs through a plain 565 span loop (solid
// colour over the target by coverage), which is the work a fill does once
// composited.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "raster/PathEdges.h"
#include "raster/PathScanConverter.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"

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

void FillOurs(runtime::LibraryContext& context, runtime::ArenaAllocator& arena, const Shape& shape,
              std::vector<uint16_t>& target) {
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
  raster::PathScanConverter converter(&context, arena, path.Points(), runtime::Matrix{},
                                      {0, 0, kSize, kSize}, false);
  const runtime::IntRect shapeBounds = converter.ShapeBounds();
  constexpr uint16_t kRed = 0xF800;
  for (int32_t y = shapeBounds.y0; y < shapeBounds.y1; ++y) {
    converter.BeginRow(y);
    uint16_t* row = target.data() + static_cast<size_t>(y) * kSize;
    int32_t x = shapeBounds.x0;
    while (x < shapeBounds.x1) {
      const int32_t end = converter.CoverageRun(x, shapeBounds.x1);
      if (converter.Kind() == raster::RunKind::kFull) {
        std::fill(row + x, row + end, kRed);
      } else if (converter.Kind() == raster::RunKind::kPartial) {
        for (int32_t i = x; i < end; ++i) {
          const uint32_t c = converter.CoverageAt(i);
          const uint32_t d = row[i];
          const uint32_t r = ((d >> 11) * (255 - c) + 31 * c) / 255;
          const uint32_t g = (((d >> 5) & 63) * (255 - c)) / 255;
          const uint32_t b = ((d & 31) * (255 - c)) / 255;
          row[i] = static_cast<uint16_t>((r << 11) | (g << 5) | b);
        }
      }
      x = end;
    }
  }
}

void BM_Ours(benchmark::State& state, const std::vector<Shape>& shapes) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 16384, 4096);
  std::vector<uint16_t> target(static_cast<size_t>(kSize) * kSize, 0xFFFF);
  for (auto _ : state) {
    for (const Shape& shape : shapes) {
      FillOurs(context, arena, shape, target);
      arena.Reset();
    }
    benchmark::DoNotOptimize(target.data());
  }
}

void BM_Cairo(benchmark::State& state, const std::vector<Shape>& shapes) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB16_565, kSize, kSize);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 1, 0, 0);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
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
