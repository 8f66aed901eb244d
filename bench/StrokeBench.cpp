// Stroking against cairo on a 1024 x 1024 RGB565 page at the same
// anti-aliasing grid (cairo's "fast" 4 x 4): a 1,000-segment polyline with
// round joins at widths 0 (a hairline: one device pixel for us, width 1 for
// cairo, whose zero width draws nothing), 1 and 10, and a dashed circle.
// Ours: the stroke's coverage (stroke set-up, dasher, stroker, scan
// conversion) composited as a solid colour into the page device; cairo:
// cairo_stroke into an RGB565 image surface. The device's transfer to the
// screen bitmap is left out: the page view does it once per region, not
// per stroke, and over a stroke's whole bounding box it would measure the
// transfer rather than the stroke. Compare each pair's time per frame.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <vector>

#include "raster/ColorSpace.h"
#include "raster/ConstantSources.h"
#include "raster/PaintObject.h"
#include "raster/PathEdges.h"
#include "raster/PixelRegion.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaScope.h"
#include "runtime/LibraryContext.h"

namespace {

constexpr int kPage = 1024;

struct StrokeCase {
  std::vector<double> points;  // x, y pairs of a polyline, or
  bool circle = false;         // a circle of radius 400 about the centre
  double width = 1;
  bool dashed = false;
};

StrokeCase Polyline(double width) {
  StrokeCase c;
  c.width = width;
  for (int i = 0; i <= 1000; ++i) {
    c.points.push_back(12 + i);
    c.points.push_back(512 + 400 * std::sin(i * 0.07) * std::cos(i * 0.013));
  }
  return c;
}

StrokeCase DashedCircle() {
  StrokeCase c;
  c.circle = true;
  c.width = 2;
  c.dashed = true;
  return c;
}

constexpr double kArc = 0.5522847498;  // control distance of a quarter circle

class PageRgb final : public raster::ColorSpace {
 public:
  int32_t ComponentCount() const override { return 3; }
  bool IsSubtractive() const override { return false; }
  runtime::PixelConverter* MakeConverter(runtime::ArenaAllocator&, const raster::ColorSpace&) override {
    return nullptr;
  }
};

runtime::FixedPoint Fx(double x, double y) { return {runtime::FixedFromFloat(x), runtime::FixedFromFloat(y)}; }

void StrokeOurs(benchmark::State& state, const StrokeCase& c) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 1 << 16, 4096);
  PageRgb rgb;
  const runtime::IntRect page{0, 0, kPage, kPage};
  raster::RasterDevice* device = raster::RasterDevice::CreateForTarget(&context, arena, page, &rgb);
  const raster::PixelRegion* region = raster::PixelRegion::FromRect(arena, page);
  runtime::StrokeStyle style(&context);
  style.width = runtime::FixedFromFloat(c.width);
  style.lineJoin = runtime::StrokeStyle::kRoundJoin;
  if (c.dashed) {
    const runtime::Fixed pattern[] = {runtime::FixedFromFloat(12), runtime::FixedFromFloat(6)};
    style.SetDash(pattern, 0);
  }
  for (auto _ : state) {
    runtime::ArenaScope scope(arena);
    raster::StoredPath path(arena, 3100);
    if (c.circle) {
      path.MoveTo(Fx(912, 512));
      for (int q = 0; q < 4; ++q) {
        const double a0 = q * M_PI / 2, a1 = (q + 1) * M_PI / 2;
        const double x0 = std::cos(a0), y0 = std::sin(a0), x1 = std::cos(a1), y1 = std::sin(a1);
        path.CurveTo(Fx(512 + 400 * (x0 - kArc * y0), 512 + 400 * (y0 + kArc * x0)),
                     Fx(512 + 400 * (x1 + kArc * y1), 512 + 400 * (y1 - kArc * x1)),
                     Fx(512 + 400 * x1, 512 + 400 * y1));
      }
      path.Close();
    } else {
      for (size_t i = 0; i < c.points.size(); i += 2) {
        if (i == 0) {
          path.MoveTo(Fx(c.points[i], c.points[i + 1]));
        } else {
          path.LineTo(Fx(c.points[i], c.points[i + 1]));
        }
      }
    }
    raster::ScanConverter* coverage =
        raster::PaintObject::CreateStroke(&context, arena, page, path.Points(), style, runtime::Matrix{});
    const runtime::IntRect bounds = coverage->ShapeBounds();
    device->PaintSource(*raster::PixelRegion::FromRect(arena, bounds), region, nullptr, coverage,
                        raster::SolidColorSource::FromRgbFixed(arena, runtime::kFixedOne, 0, 0), nullptr);
    benchmark::DoNotOptimize(device);
  }
}

void StrokeCairo(benchmark::State& state, const StrokeCase& c) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB16_565, kPage, kPage);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 1, 0, 0);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_FAST);
  cairo_set_line_width(cr, c.width == 0 ? 1.0 : c.width);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  if (c.dashed) {
    const double pattern[] = {12, 6};
    cairo_set_dash(cr, pattern, 2, 0);
  }
  for (auto _ : state) {
    if (c.circle) {
      cairo_new_sub_path(cr);
      cairo_arc(cr, 512, 512, 400, 0, 2 * M_PI);
      cairo_close_path(cr);
    } else {
      for (size_t i = 0; i < c.points.size(); i += 2) {
        if (i == 0) {
          cairo_move_to(cr, c.points[i], c.points[i + 1]);
        } else {
          cairo_line_to(cr, c.points[i], c.points[i + 1]);
        }
      }
    }
    cairo_stroke(cr);
    cairo_surface_flush(surface);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

void BM_PolylineHairlineOurs(benchmark::State& s) { StrokeOurs(s, Polyline(0)); }
void BM_PolylineHairlineCairo(benchmark::State& s) { StrokeCairo(s, Polyline(0)); }
void BM_PolylineWidth1Ours(benchmark::State& s) { StrokeOurs(s, Polyline(1)); }
void BM_PolylineWidth1Cairo(benchmark::State& s) { StrokeCairo(s, Polyline(1)); }
void BM_PolylineWidth10Ours(benchmark::State& s) { StrokeOurs(s, Polyline(10)); }
void BM_PolylineWidth10Cairo(benchmark::State& s) { StrokeCairo(s, Polyline(10)); }
void BM_DashedCircleOurs(benchmark::State& s) { StrokeOurs(s, DashedCircle()); }
void BM_DashedCircleCairo(benchmark::State& s) { StrokeCairo(s, DashedCircle()); }

}  // namespace

BENCHMARK(BM_PolylineHairlineOurs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PolylineHairlineCairo)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PolylineWidth1Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PolylineWidth1Cairo)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PolylineWidth10Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PolylineWidth10Cairo)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DashedCircleOurs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DashedCircleCairo)->Unit(benchmark::kMicrosecond);
