#include "raster/PathScanConverter.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "raster/PathEdges.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"
#include "tests/raster/CoverageRaster.h"
#include "tests/raster/SamplingAllowance.h"

namespace {

using raster::GlyphScanConverter;
using raster::PathScanConverter;
using raster::PathScanConverter16;
using raster::RunKind;
using raster::StoredPath;
using runtime::FixedFromFloat;
using runtime::FixedPoint;
using runtime::IntRect;
using runtime::Matrix;

FixedPoint P(double x, double y) { return {FixedFromFloat(x), FixedFromFloat(y)}; }

class ScanConverterTest : public ::testing::Test {
 protected:
  StoredPath Polygon(const std::vector<FixedPoint>& points) {
    StoredPath path(arena_);
    path.MoveTo(points[0]);
    for (size_t i = 1; i < points.size(); ++i) path.LineTo(points[i]);
    path.Close();
    return path;
  }
  StoredPath Star(double cx, double cy, double r) {
    std::vector<FixedPoint> points;
    for (int i = 0; i < 5; ++i) {
      const double angle = -M_PI / 2 + i * 4 * M_PI / 5;
      points.push_back(P(cx + r * std::cos(angle), cy + r * std::sin(angle)));
    }
    return Polygon(points);
  }
  runtime::LibraryContext context_;
  runtime::ArenaAllocator arena_{&context_, 16384, 4096};
};

TEST_F(ScanConverterTest, StarCentreFollowsTheFillRule) {
  const StoredPath star = Star(32, 32, 30);
  PathScanConverter nonZero(&context_, arena_, star.Points(), Matrix{}, {0, 0, 64, 64}, false);
  PathScanConverter evenOdd(&context_, arena_, star.Points(), Matrix{}, {0, 0, 64, 64}, true);
  const auto a = testsupport::RenderCoverage(nonZero);
  const auto b = testsupport::RenderCoverage(evenOdd);
  EXPECT_EQ(a[32 * 64 + 32], 255);
  EXPECT_EQ(b[32 * 64 + 32], 0);
  // A point of the star lies inside under both rules.
  EXPECT_EQ(a[10 * 64 + 32], 255);
  EXPECT_EQ(b[10 * 64 + 32], 255);
}

TEST_F(ScanConverterTest, HairlineWithinOneSubRowCoversItsExtent) {
  // A sliver 1/64 pixel tall inside the first sub-row of row 2.
  const StoredPath line = Polygon({P(3, 2.05), P(9, 2.05), P(9, 2.06), P(3, 2.06)});
  PathScanConverter converter(&context_, arena_, line.Points(), Matrix{}, {0, 0, 16, 8}, false);
  const auto image = testsupport::RenderCoverage(converter);
  for (int x = 3; x < 9; ++x) EXPECT_EQ(image[2 * 16 + x], 4 << 4) << x;
  EXPECT_EQ(image[2 * 16 + 2], 0);
  EXPECT_EQ(image[1 * 16 + 5], 0);
  EXPECT_EQ(image[3 * 16 + 5], 0);
}

TEST_F(ScanConverterTest, PixelAlignedShapesCoverExactlyTheirPixels) {
  // Edges on pixel boundaries add no grey row or column, whichever way the
  // path runs and whichever fill rule applies.
  struct Case {
    const char* name;
    std::vector<FixedPoint> corners;
    int pixels;
  } cases[] = {
      {"10 x 10 square, clockwise", {P(3, 2), P(13, 2), P(13, 12), P(3, 12)}, 100},
      {"10 x 10 square, anticlockwise", {P(3, 2), P(3, 12), P(13, 12), P(13, 2)}, 100},
      {"one pixel", {P(7, 7), P(8, 7), P(8, 8), P(7, 8)}, 1},
      {"a staircase", {P(2, 2), P(6, 2), P(6, 5), P(9, 5), P(9, 9), P(2, 9)}, 4 * 3 + 7 * 4},
      {"a staircase the other way", {P(9, 2), P(9, 9), P(2, 9), P(2, 5), P(6, 5), P(6, 2)}, 3 * 3 + 7 * 4},
      {"touching the target's edges", {P(0, 0), P(16, 0), P(16, 16), P(0, 16)}, 256},
  };
  for (const Case& c : cases) {
    for (const bool evenOdd : {false, true}) {
      const StoredPath path = Polygon(c.corners);
      PathScanConverter converter(&context_, arena_, path.Points(), Matrix{}, {0, 0, 16, 16}, evenOdd);
      const auto image = testsupport::RenderCoverage(converter);
      int full = 0, other = 0;
      for (uint8_t v : image) {
        if (v == 255) {
          ++full;
        } else if (v != 0) {
          ++other;
        }
      }
      EXPECT_EQ(full, c.pixels) << c.name << (evenOdd ? " even-odd" : " non-zero");
      EXPECT_EQ(other, 0) << c.name << (evenOdd ? " even-odd" : " non-zero");
    }
  }
}

TEST_F(ScanConverterTest, ZeroWidthFeaturesKeepOneSubPixel) {
  // A hairline never vanishes: zero-width and zero-height figures on pixel
  // boundaries cover one sub-pixel column or sub-row of the pixels they run
  // along, and a sliver within one sub-row covers that sub-row.
  const StoredPath vertical = Polygon({P(5, 1), P(5, 6)});
  const StoredPath horizontal = Polygon({P(3, 2), P(9, 2), P(9, 2), P(3, 2)});
  const StoredPath sliver = Polygon({P(3, 2.05), P(9, 2.05), P(9, 2.06), P(3, 2.06)});
  struct Case {
    const char* name;
    const StoredPath* path;
    int x, y;
    uint8_t expected;
  } cases[] = {
      {"vertical at x = 5.0, inside its run", &vertical, 5, 3, 4 << 4},
      {"vertical at x = 5.0, nothing left of it", &vertical, 4, 3, 0},
      {"vertical ends at y = 6.0", &vertical, 5, 6, 0},
      {"horizontal at y = 2.0", &horizontal, 5, 2, 4 << 4},
      {"horizontal at y = 2.0, row above", &horizontal, 5, 1, 0},
      {"horizontal ends at x = 9.0", &horizontal, 9, 2, 0},
      {"sliver within one sub-row", &sliver, 5, 2, 4 << 4},
  };
  for (const Case& c : cases) {
    PathScanConverter converter(&context_, arena_, c.path->Points(), Matrix{}, {0, 0, 16, 8}, false);
    const auto image = testsupport::RenderCoverage(converter);
    EXPECT_EQ(image[static_cast<size_t>(c.y * 16 + c.x)], c.expected) << c.name;
  }
}

TEST_F(ScanConverterTest, RunsLeftAndRightOfTheShape) {
  const StoredPath square = Polygon({P(10, 1), P(20, 1), P(20, 3), P(10, 3)});
  PathScanConverter converter(&context_, arena_, square.Points(), Matrix{}, {0, 0, 40, 4}, false);
  converter.BeginRow(1);
  const int32_t first = converter.ShapeBounds().x0;
  EXPECT_EQ(converter.CoverageRun(0, 40), first);
  EXPECT_EQ(converter.Kind(), RunKind::kEmpty);
  converter.BeginRow(2);
  EXPECT_EQ(converter.CoverageRun(converter.ShapeBounds().x1, 37), 37);
  EXPECT_EQ(converter.Kind(), RunKind::kEmpty);
}

// Shoelace area of a polygon.
double Area(const std::vector<std::pair<double, double>>& points) {
  double sum = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const auto& [x0, y0] = points[i];
    const auto& [x1, y1] = points[(i + 1) % points.size()];
    sum += x0 * y1 - x1 * y0;
  }
  return std::fabs(sum) / 2;
}

TEST_F(ScanConverterTest, CoverageSumsToThePolygonArea) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int trial = 0; trial < 100; ++trial) {
    // A star-shaped (simple) polygon: jittered angles around the circle,
    // random radii.
    const int count = 5 + static_cast<int>(unit(random) * 40);
    std::vector<double> angles;
    for (int i = 0; i < count; ++i) angles.push_back((i + 0.8 * unit(random)) * 2 * M_PI / count);
    std::vector<std::pair<double, double>> points;
    std::vector<FixedPoint> fixed;
    for (double angle : angles) {
      const double r = 150 + unit(random) * 100;
      const double x = 256 + r * std::cos(angle), y = 256 + r * std::sin(angle);
      fixed.push_back(P(x, y));
      points.push_back({runtime::FixedToDouble(fixed.back().x & ~1),
                        runtime::FixedToDouble(fixed.back().y & ~1)});
    }
    const double area = Area(points);
    const StoredPath path = Polygon(fixed);
    PathScanConverter converter(&context_, arena_, path.Points(), Matrix{}, {0, 0, 512, 512},
                                trial % 2 == 1);
    const auto image = testsupport::RenderCoverage(converter);
    double sum = 0;
    for (uint8_t v : image) sum += v == 255 ? 1.0 : v / 256.0;
    EXPECT_NEAR(sum, area, area * 0.005) << "trial " << trial;
    arena_.Reset();
  }
}

}  // namespace

namespace {

TEST_F(ScanConverterTest, ConverterClassesScaleTheirCoverage) {
  // A rectangle half a pixel wide: x from 1.0 to 1.5 over row 1: exactly
  // half of the pixel's sub-pixel columns.
  const StoredPath sliver = Polygon({P(1, 1), P(1.5, 1), P(1.5, 2), P(1, 2)});
  const StoredPath box = Polygon({P(1, 1), P(5, 1), P(5, 3), P(1, 3)});
  const IntRect target{0, 0, 8, 4};
  PathScanConverter path4(&context_, arena_, sliver.Points(), Matrix{}, target, false);
  PathScanConverter16 path16(&context_, arena_, sliver.Points(), Matrix{}, target, false);
  GlyphScanConverter glyphBox(&context_, arena_, box.Points(), Matrix{}, target);
  // Each converter walks its rows once.
  const auto image4 = testsupport::RenderCoverage(path4);
  const auto image16 = testsupport::RenderCoverage(path16);
  const auto imageGlyph = testsupport::RenderCoverage(glyphBox);
  struct Case {
    const char* name;
    const std::vector<uint8_t>& image;
    int x, y;
    uint8_t expected;
  } cases[] = {
      {"4x4: two sub-pixel columns of four", image4, 1, 1, 8 << 4},
      {"16x16: eight sub-pixel columns of sixteen", image16, 1, 1, 8 * 16},
      {"glyph: a vertical edge on x = 5.0 covers one sub-pixel column", imageGlyph, 5, 2, 4 << 4},
      {"glyph: inside a box is full", imageGlyph, 3, 2, 255},
      {"glyph: outside a box is empty", imageGlyph, 6, 2, 0},
      {"4x4: the row after the next is empty", image4, 1, 3, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.image[static_cast<size_t>(c.y * 8 + c.x)], c.expected) << c.name;
  }
}

TEST_F(ScanConverterTest, EmptyAndSinglePointPathsPaintNothing) {
  StoredPath point(arena_);
  point.MoveTo(P(3, 3));
  point.LineTo(P(3, 3));
  point.Close();
  StoredPath lineFirst(arena_);
  lineFirst.LineTo(P(1, 1));
  lineFirst.LineTo(P(6, 1));
  lineFirst.LineTo(P(6, 6));
  for (const StoredPath* path : {&point, &lineFirst}) {
    PathScanConverter converter(&context_, arena_, path->Points(), Matrix{}, {0, 0, 8, 8}, false);
    EXPECT_TRUE(converter.IsEmpty());
    const auto image = testsupport::RenderCoverage(converter);
    EXPECT_EQ(std::count(image.begin(), image.end(), 0), 64);
  }
}

}  // namespace

namespace {

TEST_F(ScanConverterTest, PathsBeyondTheFixedRangeAreClippedNotWrapped) {
  // The same half-plane y < x, once from a triangle of ±100 pixels and once
  // from one of ±100000 pixels (the matrix scales a path of ±10 units).
  const StoredPath triangle = Polygon({P(-10, -10), P(10, 10), P(10, -10)});
  const Matrix near{FixedFromFloat(10), 0, 0, FixedFromFloat(10), 0, 0};
  const Matrix far{FixedFromFloat(10000), 0, 0, FixedFromFloat(10000), 0, 0};
  PathScanConverter small(&context_, arena_, triangle.Points(), near, {0, 0, 32, 32}, false);
  PathScanConverter huge(&context_, arena_, triangle.Points(), far, {0, 0, 32, 32}, false);
  const auto expected = testsupport::RenderCoverage(small);
  EXPECT_EQ(testsupport::RenderCoverage(huge), expected);
  EXPECT_EQ(expected[5 * 32 + 20], 255);
  EXPECT_EQ(expected[20 * 32 + 5], 0);
  // A curve reaching far outside still closes its winding.
  StoredPath curve(arena_);
  curve.MoveTo(P(-1, -1));
  curve.CurveTo(P(30, -1), P(30, 30), P(-1, 30));
  curve.Close();
  PathScanConverter bent(&context_, arena_, curve.Points(), far, {0, 0, 32, 32}, false);
  const auto bentImage = testsupport::RenderCoverage(bent);
  EXPECT_EQ(std::count(bentImage.begin(), bentImage.end(), 255), 32 * 32);
}

}  // namespace

namespace {

// A closed curve in double precision: cubic segments p0 p1 p2 p3, each
// starting where the last ended.
using Cubic = std::array<double, 8>;

// A smooth closed curve around (cx, cy) whose radius wanders between rMin
// and rMax: n points on the circle joined by cubics with Catmull-Rom
// tangents, clockwise or not.
std::vector<Cubic> WanderingLoop(std::mt19937& random, double cx, double cy, double rMin, double rMax, int n,
                                 bool reverse) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<std::pair<double, double>> points;
  for (int i = 0; i < n; ++i) {
    const double angle = (reverse ? -1 : 1) * (i + 0.3 * unit(random)) * 2 * M_PI / n;
    const double r = rMin + (rMax - rMin) * unit(random);
    points.push_back({cx + r * std::cos(angle), cy + r * std::sin(angle)});
  }
  std::vector<Cubic> loop;
  for (int i = 0; i < n; ++i) {
    const auto& a = points[(i + n - 1) % n];
    const auto& b = points[i];
    const auto& c = points[(i + 1) % n];
    const auto& d = points[(i + 2) % n];
    loop.push_back({b.first, b.second, b.first + (c.first - a.first) / 6, b.second + (c.second - a.second) / 6,
                    c.first - (d.first - b.first) / 6, c.second - (d.second - b.second) / 6, c.first, c.second});
  }
  return loop;
}

// The loop as a polygon of many chords (far finer than any rasteriser's
// flattening), in the coordinates the rasteriser sees.
std::vector<std::pair<double, double>> FinePolygon(const std::vector<Cubic>& loop) {
  std::vector<std::pair<double, double>> polygon;
  auto snap = [](double v) { return runtime::FixedToDouble(runtime::FixedFromFloat(v) & ~1); };
  for (const Cubic& c : loop) {
    double q[8];
    for (int i = 0; i < 8; ++i) q[i] = snap(c[i]);
    for (int k = 0; k < 256; ++k) {
      const double t = k / 256.0, u = 1 - t;
      const double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
      polygon.push_back({b0 * q[0] + b1 * q[2] + b2 * q[4] + b3 * q[6], b0 * q[1] + b1 * q[3] + b2 * q[5] + b3 * q[7]});
    }
  }
  return polygon;
}

// Signed area of the part of a closed polygon within the strip y0 <= y < y1.
double SignedAreaInStrip(const std::vector<std::pair<double, double>>& polygon, double y0, double y1) {
  auto clip = [](const std::vector<std::pair<double, double>>& in, double edge, bool keepBelow) {
    std::vector<std::pair<double, double>> out;
    auto inside = [&](const std::pair<double, double>& p) { return keepBelow ? p.second <= edge : p.second >= edge; };
    for (size_t i = 0; i < in.size(); ++i) {
      const auto& a = in[i];
      const auto& b = in[(i + 1) % in.size()];
      if (inside(a)) out.push_back(a);
      if (inside(a) != inside(b)) {
        const double t = (edge - a.second) / (b.second - a.second);
        out.push_back({a.first + t * (b.first - a.first), edge});
      }
    }
    return out;
  };
  const auto strip = clip(clip(polygon, y0, false), y1, true);
  double sum = 0;
  for (size_t i = 0; i < strip.size(); ++i) {
    const auto& a = strip[i];
    const auto& b = strip[(i + 1) % strip.size()];
    sum += a.first * b.second - b.first * a.second;
  }
  return sum / 2;
}

TEST_F(ScanConverterTest, CurvedRingsMatchTheirExactAreaRowByRow) {
  // Rings drawn with curves, the inner loop running the other way, filled
  // under both rules: every pixel row's coverage must match the ring's
  // exact area in that row, within 1% and the sampling allowance (the
  // edges' conservative sub-pixels and the flattening). A sub-row missing
  // or added across the ring (a streak) is far beyond it.
  std::mt19937 random(11);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int rowsChecked = 0;
  for (int trial = 0; trial < 60; ++trial) {
    const double cx = 128 + 10 * unit(random), cy = 128 + 10 * unit(random);
    const double outerMin = 70 + 30 * unit(random);
    const auto outer = WanderingLoop(random, cx, cy, outerMin, outerMin + 20, 5 + trial % 7, false);
    const auto inner = WanderingLoop(random, cx, cy, 20, outerMin - 30, 4 + trial % 5, true);
    StoredPath path(arena_);
    for (const auto* loop : {&outer, &inner}) {
      path.MoveTo(P((*loop)[0][0], (*loop)[0][1]));
      for (const Cubic& c : *loop) path.CurveTo(P(c[2], c[3]), P(c[4], c[5]), P(c[6], c[7]));
      path.Close();
    }
    const auto outerPolygon = FinePolygon(outer), innerPolygon = FinePolygon(inner);
    PathScanConverter converter(&context_, arena_, path.Points(), Matrix{}, {0, 0, 256, 256}, trial % 2 == 1);
    const auto image = testsupport::RenderCoverage(converter);
    std::vector<std::array<double, 4>> chords;
    for (const auto* polygon : {&outerPolygon, &innerPolygon}) {
      for (size_t i = 0; i < polygon->size(); ++i) {
        const auto& a = (*polygon)[i];
        const auto& b = (*polygon)[(i + 1) % polygon->size()];
        chords.push_back({a.first, a.second, b.first, b.second});
      }
    }
    const std::vector<double> allowance = testsupport::SamplingAllowance(chords, {0, 0, 256, 256});
    for (int y = 0; y < 256; ++y) {
      const double exact = std::fabs(SignedAreaInStrip(outerPolygon, y, y + 1) + SignedAreaInStrip(innerPolygon, y, y + 1));
      double ours = 0;
      for (int x = 0; x < 256; ++x) {
        const uint8_t v = image[static_cast<size_t>(y * 256 + x)];
        ours += v == 255 ? 1.0 : v / 256.0;
      }
      if (exact == 0 && ours == 0) continue;
      ++rowsChecked;
      EXPECT_NEAR(ours, exact, 0.01 * exact + allowance[static_cast<size_t>(y)]) << "trial " << trial << " row " << y;
    }
    arena_.Reset();
  }
  EXPECT_GT(rowsChecked, 60 * 150);
}

}  // namespace

namespace {

TEST_F(ScanConverterTest, ContentFarFromTheDeviceOriginPaints) {
  // A tall page at high zoom: the target lies 40,000 pixels down the
  // device (the matrix scales y by 10). A square there and a triangle
  // reaching 100,000 pixels beyond it paint as they would near the origin.
  const Matrix zoom{runtime::kFixedOne, 0, 0, 10 * runtime::kFixedOne, 0, 0};
  StoredPath square(arena_);
  square.MoveTo(P(4, 4000.5));
  square.LineTo(P(12, 4000.5));
  square.LineTo(P(12, 4001.5));
  square.LineTo(P(4, 4001.5));
  square.Close();
  PathScanConverter far(&context_, arena_, square.Points(), zoom, {0, 40000, 16, 40016}, false);
  const auto image = testsupport::RenderCoverage(far);
  EXPECT_EQ(std::count(image.begin(), image.end(), 255), 8 * 10);
  EXPECT_EQ(image[5 * 16 + 5], 255);

  const StoredPath triangle = Polygon({P(0, 4000), P(10000, 14000), P(10000, 4000)});
  const Matrix wide{10 * runtime::kFixedOne, 0, 0, 10 * runtime::kFixedOne, 0, 0};
  PathScanConverter wedge(&context_, arena_, triangle.Points(), wide, {0, 40000, 16, 40016}, false);
  const auto wedgeImage = testsupport::RenderCoverage(wedge);
  EXPECT_EQ(wedgeImage[2 * 16 + 10], 255);  // above the diagonal
  EXPECT_EQ(wedgeImage[10 * 16 + 2], 0);    // below it
}

TEST_F(ScanConverterTest, TallTargetsArePaintedInBands) {
  // A 600 dpi A4 page is 7016 rows tall; twice that is beyond one band of
  // sub-sampled rows. Shapes near the top, near the bottom and across the
  // band boundary all paint, through a second pass too.
  const int32_t height = 14032;
  StoredPath path(arena_);
  for (const double top : {10.0, 7990.0, 14000.0}) {
    path.MoveTo(P(2, top));
    path.LineTo(P(6, top));
    path.LineTo(P(6, top + 20));
    path.LineTo(P(2, top + 20));
    path.Close();
  }
  path.MoveTo(P(8, 0));
  path.LineTo(P(9, 0));
  path.LineTo(P(9, height));
  path.LineTo(P(8, height));
  path.Close();
  for (const bool fine : {false, true}) {
    raster::ScanConverter* converter =
        fine ? static_cast<raster::ScanConverter*>(runtime::NewInArena<PathScanConverter16>(
                   arena_, &context_, arena_, path.Points(), Matrix{}, IntRect{0, 0, 12, height}, false))
             : runtime::NewInArena<PathScanConverter>(arena_, &context_, arena_, path.Points(), Matrix{},
                                                      IntRect{0, 0, 12, height}, false);
    for (int pass = 0; pass < 2; ++pass) {
      const auto image = testsupport::RenderCoverage(*converter);
      SCOPED_TRACE(testing::Message() << (fine ? "16x16" : "4x4") << " pass " << pass);
      EXPECT_EQ(std::count(image.begin(), image.end(), 255), 3 * 4 * 20 + height);
      EXPECT_EQ(std::count_if(image.begin(), image.end(), [](uint8_t v) { return v != 0 && v != 255; }), 0);
      for (const int32_t y : {10, 29, 7990, 7998, 8000, 8009, 14000, 14019})
        EXPECT_EQ(image[static_cast<size_t>(y) * 12 + 3], 255) << y;
      EXPECT_EQ(image[static_cast<size_t>(30) * 12 + 3], 0);
    }
  }
}

TEST_F(ScanConverterTest, WideTargetsArePaintedInColumns) {
  // Wider than one band of sub-sampled columns in either class (7,998 and
  // 1,998 pixels): a bar over the whole width, a square across a column
  // boundary and a saw spanning many columns all paint, through a second
  // pass too, and the saw's coverage is that of narrow targets.
  const int32_t width = 20000;
  const int32_t height = 40;
  StoredPath path(arena_);
  auto rectangle = [&path](double x0, double y0, double x1, double y1) {
    path.MoveTo(P(x0, y0));
    path.LineTo(P(x1, y0));
    path.LineTo(P(x1, y1));
    path.LineTo(P(x0, y1));
    path.Close();
  };
  rectangle(0, 2, width, 4);
  rectangle(7990, 6, 8010, 10);
  rectangle(19990, 30, 20000, 40);
  // A saw of slanted teeth over the whole width.
  std::vector<FixedPoint> teeth = {P(0, 38)};
  for (int k = 0; k * 101 + 60 < width; ++k) {
    teeth.push_back(P(k * 101 + 10.3, 2.6));
    teeth.push_back(P(k * 101 + 60.7, 37.2));
  }
  teeth.push_back(P(width, 38));
  const StoredPath saw = Polygon(teeth);
  for (const bool fine : {false, true}) {
    SCOPED_TRACE(fine ? "16x16" : "4x4");
    auto make = [&](std::span<const FixedPoint> points, const Matrix& matrix, const IntRect& target) {
      return fine ? static_cast<raster::ScanConverter*>(runtime::NewInArena<PathScanConverter16>(
                        arena_, &context_, arena_, points, matrix, target, false))
                  : runtime::NewInArena<PathScanConverter>(arena_, &context_, arena_, points, matrix, target, false);
    };
    raster::ScanConverter* converter = make(path.Points(), Matrix{}, IntRect{0, 0, width, height});
    for (int pass = 0; pass < 2; ++pass) {
      SCOPED_TRACE(testing::Message() << "pass " << pass);
      const auto image = testsupport::RenderCoverage(*converter);
      EXPECT_EQ(std::count(image.begin(), image.end(), 255), 2 * width + 20 * 4 + 10 * 10);
      EXPECT_EQ(std::count_if(image.begin(), image.end(), [](uint8_t v) { return v != 0 && v != 255; }), 0);
      for (const int32_t x : {0, 1997, 1998, 7997, 7998, 19999}) EXPECT_EQ(image[3 * width + x], 255) << x;
      for (const int32_t x : {7990, 7997, 7998, 8009}) EXPECT_EQ(image[8 * width + x], 255) << x;
      EXPECT_EQ(image[8 * width + 8010], 0);
    }
    // The saw through the wide target and through windows of 1,000 pixels,
    // alike within a sub-pixel.
    raster::ScanConverter* whole = make(saw.Points(), Matrix{}, IntRect{0, 0, width, height});
    const auto image = testsupport::RenderCoverage(*whole);
    int32_t painted = 0;
    for (int32_t x0 = 0; x0 < width; x0 += 1000) {
      raster::ScanConverter* window = make(saw.Points(), Matrix{}, IntRect{x0, 0, x0 + 1000, height});
      const auto part = testsupport::RenderCoverage(*window);
      for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < 1000; ++x) {
          // Clipping at other places rounds the edges' ends apart by a
          // sub-pixel at most.
          ASSERT_LE(std::abs(image[static_cast<size_t>(y) * width + x0 + x] -
                             part[static_cast<size_t>(y) * 1000 + x]), fine ? 1 : 16)
              << x0 + x << "," << y;
          painted += part[static_cast<size_t>(y) * 1000 + x] != 0;
        }
      }
    }
    EXPECT_GT(painted, width * height / 3);
  }
  // Tall and wide at once (the 16 x 16 class): a square across both
  // boundaries.
  const StoredPath square = Polygon({P(1990, 1990), P(2010, 1990), P(2010, 2010), P(1990, 2010)});
  PathScanConverter16 both(&context_, arena_, square.Points(), Matrix{}, {0, 0, 2100, 2100}, false);
  for (int pass = 0; pass < 2; ++pass) {
    const auto image = testsupport::RenderCoverage(both);
    EXPECT_EQ(std::count(image.begin(), image.end(), 255), 400);
    EXPECT_EQ(image[static_cast<size_t>(1998) * 2100 + 1998], 255);
  }
}

}  // namespace
