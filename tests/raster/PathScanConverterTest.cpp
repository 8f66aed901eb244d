#include "raster/PathScanConverter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "raster/PathEdges.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"
#include "tests/raster/CoverageRaster.h"

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

TEST_F(ScanConverterTest, EdgeOnASubPixelBoundaryCoversThatSubPixel) {
  // Right edge at x = 5.0 pixels, sub-pixel 20.0: the span ends at 21.
  const StoredPath square = Polygon({P(1, 1), P(5, 1), P(5, 3), P(1, 3)});
  PathScanConverter converter(&context_, arena_, square.Points(), Matrix{}, {0, 0, 8, 4}, false);
  const auto image = testsupport::RenderCoverage(converter);
  EXPECT_EQ(image[1 * 8 + 4], 255);
  EXPECT_EQ(image[1 * 8 + 5], 4 << 4);  // one sub-pixel column of four
  EXPECT_EQ(image[1 * 8 + 6], 0);
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
  // A rectangle half a pixel wide: x from 1.0 to 1.5 over row 1. Both edges
  // cover the sub-pixel they touch.
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
      {"4x4: three sub-pixel columns of four", image4, 1, 1, 12 << 4},
      {"16x16: nine sub-pixel columns of sixteen", image16, 1, 1, 9 * 16},
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
