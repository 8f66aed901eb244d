// Segment paths (culling, bridging, closing, extraction), the measuring
// routines the dasher walks with, arcs for round joins, offset curves and
// the dasher's decisions.
#include "raster/SegmentPath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "raster/Bezier.h"
#include "raster/Dasher.h"
#include "raster/OffsetCurve.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"

namespace {

using raster::PathPosition;
using raster::SegmentPath;
using raster::StrokeParameters;
using raster::StrokeSegment;
using runtime::Fixed;
using runtime::FixedFromFloat;
using runtime::FixedMul;
using runtime::FixedSqrt;
using runtime::FixedPoint;
using runtime::kFixedOne;

FixedPoint SegPoint(double x, double y) { return {FixedFromFloat(x), FixedFromFloat(y)}; }
double SegDouble(Fixed v) { return runtime::FixedToDouble(v); }

// A quarter circle of radius 40 about the origin, from (40, 0) to (0, 40).
StrokeSegment QuarterArc() {
  const double k = 0.5522847498 * 40;
  StrokeSegment arc;
  arc.kind = StrokeSegment::kCubic;
  arc.points[0] = SegPoint(40, 0);
  arc.points[1] = SegPoint(40, k);
  arc.points[2] = SegPoint(k, 40);
  arc.points[3] = SegPoint(0, 40);
  return arc;
}

class SegmentPathTest : public ::testing::Test {
 protected:
  StrokeParameters Clipped(bool dashed) {
    StrokeParameters p = StrokeParameters::Simple(kFixedOne, 0, 0, 10 * kFixedOne);
    p.clip = {0, 0, FixedFromFloat(100), FixedFromFloat(100), false};
    if (dashed) p.dashes = dash_;
    return p;
  }
  runtime::LibraryContext context_;
  runtime::ArenaAllocator arena_{&context_, 1 << 16, 4096};
  const Fixed dash_[2] = {kFixedOne, kFixedOne};
};

TEST_F(SegmentPathTest, CoincidentControlPointsMakeALine) {
  const StrokeParameters params = Clipped(false);
  SegmentPath path(arena_, params);
  path.CurveTo(SegPoint(1, 1), SegPoint(1, 1), SegPoint(9, 5), SegPoint(9, 5));
  ASSERT_EQ(path.Count(), 1u);
  EXPECT_FALSE(path.Segments()[0].IsCurve());
  EXPECT_FALSE(path.lastIsCurve);
}

TEST_F(SegmentPathTest, SegmentsOutsideTheClipAreDroppedAndBridgedUnlessDashed) {
  for (const bool dashed : {false, true}) {
    const StrokeParameters params = Clipped(dashed);
    SegmentPath path(arena_, params);
    // Out to the right of the box, along it, and back in.
    path.LineTo(SegPoint(50, 50), SegPoint(150, 50));
    path.LineTo(SegPoint(150, 50), SegPoint(150, 60));
    path.CurveTo(SegPoint(150, 60), SegPoint(160, 70), SegPoint(170, 70), SegPoint(160, 80));
    path.LineTo(SegPoint(160, 80), SegPoint(50, 80));
    const auto s = path.Segments();
    if (dashed) {
      EXPECT_GE(s.size(), 4u);  // nothing culled (the curve may split at its extremum)
      EXPECT_EQ(s[0].End(), SegPoint(150, 50));
      EXPECT_EQ(s[1].flags, StrokeSegment::kStartIsVertex | StrokeSegment::kEndIsVertex);
      continue;
    }
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[1].flags, 0);  // the bridge is no vertex of the path
    EXPECT_EQ(s[1].Start(), SegPoint(150, 50));
    EXPECT_EQ(s[1].End(), SegPoint(160, 80));
    EXPECT_EQ(s[2].flags, StrokeSegment::kStartIsVertex | StrokeSegment::kEndIsVertex);
  }
}

TEST_F(SegmentPathTest, ClosingSnapsAnEndNearTheStart) {
  const StrokeParameters params = Clipped(false);
  SegmentPath path(arena_, params);
  path.LineTo(SegPoint(10, 10), SegPoint(20, 10));
  path.LineTo(SegPoint(20, 10), {FixedFromFloat(10) + 3, FixedFromFloat(10)});
  path.ClosePath({FixedFromFloat(10) + 3, FixedFromFloat(10)}, SegPoint(10, 10));
  EXPECT_TRUE(path.closed);
  ASSERT_EQ(path.Count(), 2u);
  EXPECT_EQ(path.Segments()[1].End(), SegPoint(10, 10));
  // Farther away, a closing line is added.
  SegmentPath open(arena_, params);
  open.LineTo(SegPoint(10, 10), SegPoint(20, 10));
  open.ClosePath(SegPoint(20, 10), SegPoint(10, 10));
  EXPECT_EQ(open.Count(), 2u);
}

TEST_F(SegmentPathTest, ExtractionCutsSegmentsAndClearsCutVertexFlags) {
  const StrokeParameters params = Clipped(true);
  SegmentPath path(arena_, params);
  path.LineTo(SegPoint(0, 0), SegPoint(10, 0));
  path.LineTo(SegPoint(10, 0), SegPoint(10, 10));
  path.LineTo(SegPoint(10, 10), SegPoint(0, 10));
  SegmentPath piece(arena_, params);
  piece.ExtractRange(path, {0, kFixedOne / 2}, {2, kFixedOne / 4});
  const auto s = piece.Segments();
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[0].Start(), SegPoint(5, 0));
  EXPECT_EQ(s[0].flags, StrokeSegment::kEndIsVertex);
  EXPECT_EQ(s[1].flags, StrokeSegment::kStartIsVertex | StrokeSegment::kEndIsVertex);
  EXPECT_NEAR(SegDouble(s[2].End().x), 7.5, 1e-4);
  EXPECT_EQ(s[2].flags, StrokeSegment::kStartIsVertex);
}

TEST_F(SegmentPathTest, AdvancingMeasuresLinesAndCurves) {
  StrokeSegment line;
  line.points[0] = SegPoint(0, 0);
  line.points[1] = SegPoint(30, 40);  // 50 long
  Fixed left = 0;
  EXPECT_EQ(raster::CurveMeasure::AdvanceByLength(line, 0, 4096, kFixedOne / 3, left), kFixedOne / 3);
  EXPECT_EQ(left, 0);
  EXPECT_NEAR(SegDouble(raster::CurveMeasure::AdvanceByLength(line, FixedFromFloat(10), 4096, 0, left)), 0.2, 1e-4);
  EXPECT_EQ(raster::CurveMeasure::AdvanceByLength(line, FixedFromFloat(60), 4096, 0, left), kFixedOne);
  EXPECT_NEAR(SegDouble(left), 10, 1e-3);

  // A quarter circle of radius 40 is about 62.83 long; half of it ends at
  // the middle of the arc.
  const StrokeSegment arc = QuarterArc();
  const Fixed half = raster::CurveMeasure::AdvanceByLength(arc, FixedFromFloat(M_PI * 10), 4096, 0, left);
  const FixedPoint middle = arc.At(half);
  EXPECT_NEAR(SegDouble(middle.x), 40 * std::cos(M_PI / 4), 0.05);
  EXPECT_NEAR(SegDouble(middle.y), 40 * std::sin(M_PI / 4), 0.05);
  EXPECT_EQ(raster::CurveMeasure::AdvanceByLength(arc, FixedFromFloat(70), 4096, 0, left), kFixedOne);
  EXPECT_NEAR(SegDouble(left), 70 - M_PI * 20, 0.05);
}

TEST_F(SegmentPathTest, ArcsFollowTheCircleClockwise) {
  // From (10, 0) to (0, −10) about the origin: a quarter turn clockwise.
  FixedPoint out[12];
  const int count = raster::CurveMeasure::ArcToCubics(SegPoint(10, 0), SegPoint(10, 0), SegPoint(-10, 0),
                                                      SegPoint(0, -10), FixedFromFloat(10), out);
  ASSERT_EQ(count, 6);  // two pieces of three points
  EXPECT_EQ(out[5], SegPoint(0, -10));
  FixedPoint previous = SegPoint(10, 0);
  for (int piece = 0; piece < 2; ++piece) {
    const FixedPoint cubic[4] = {previous, out[piece * 3], out[piece * 3 + 1], out[piece * 3 + 2]};
    for (int i = 0; i <= 8; ++i) {
      const FixedPoint p = raster::Bezier::PointAt(cubic, i * kFixedOne / 8);
      EXPECT_NEAR(std::hypot(SegDouble(p.x), SegDouble(p.y)), 10, 0.01);
      EXPECT_GE(SegDouble(p.x), -0.01);
      EXPECT_LE(SegDouble(p.y), 0.01);
    }
    previous = out[piece * 3 + 2];
  }
  EXPECT_EQ(raster::CurveMeasure::ArcToCubics(SegPoint(0, 0), SegPoint(0, 0), SegPoint(0, 0), SegPoint(0, 0), 0, out),
            0);
}

TEST_F(SegmentPathTest, AMonotoneCurveKeepsItsShapeWhenSplit) {
  // Monotone in x and y, but its first control lies beyond its end in y:
  // splitting must not pull that control in and bend the curve.
  const FixedPoint curve[4] = {SegPoint(26, 115.8), SegPoint(33.2, 69.2), SegPoint(58.7, 88), SegPoint(79.8, 77.5)};
  FixedPoint pieces[5][4];
  ASSERT_EQ(raster::Bezier::SplitAtExtrema(curve, pieces), 1);
  for (int i = 0; i <= 8; ++i) {
    const FixedPoint a = raster::Bezier::PointAt(curve, i * kFixedOne / 8);
    const FixedPoint b = raster::Bezier::PointAt(pieces[0], i * kFixedOne / 8);
    EXPECT_NEAR(SegDouble(a.x), SegDouble(b.x), 1e-3);
    EXPECT_NEAR(SegDouble(a.y), SegDouble(b.y), 1e-3);
  }
}

TEST_F(SegmentPathTest, OffsetCubicsStayWithinTheTolerance) {
  // A quarter circle of radius 40 run anticlockwise, offset by 5 to the
  // left of its travel (towards its centre), lies on radius 35.
  const StrokeSegment arc = QuarterArc();
  StrokeParameters params = StrokeParameters::Simple(FixedFromFloat(10), 0, 0, 10 * kFixedOne);
  raster::OffsetPiece piece;
  // The whole quarter does not fit one cubic to a quarter pixel; an eighth does.
  Fixed t0 = 0;
  int pieces = 0;
  while (t0 < kFixedOne) {
    Fixed t1 = kFixedOne;
    while (!raster::OffsetCurve::Fits(arc, t0, t1, params, false, piece)) t1 = t0 + (t1 - t0) / 2;
    const FixedPoint cubic[4] = {piece.start, piece.control1, piece.control2, piece.end};
    for (int i = 0; i <= 8; ++i) {
      const FixedPoint p = raster::Bezier::PointAt(cubic, i * kFixedOne / 8);
      EXPECT_NEAR(std::hypot(SegDouble(p.x), SegDouble(p.y)), 35, 0.3);
    }
    t0 = t1;
    ++pieces;
  }
  EXPECT_GE(pieces, 1);
  EXPECT_LE(pieces, 8);
}

TEST_F(SegmentPathTest, TheDasherKeepsGapsTheCapsWouldClose) {
  // Round caps 2 wide close gaps up to about 2·sqrt(p·(w − p)) = 1.32 at a
  // quarter-pixel tolerance: a one-segment path with such gaps is solid.
  struct Case {
    int cap;
    double gap;
    bool solid;
  };
  for (const Case& c : {Case{1, 1.0, true}, Case{1, 2.0, false}, Case{0, 0.2, true}, Case{0, 0.5, false},
                        Case{2, 2.0, true}, Case{2, 2.5, false}}) {
    StrokeParameters params = StrokeParameters::Simple(2 * kFixedOne, c.cap, 0, 10 * kFixedOne);
    const Fixed pattern[2] = {3 * kFixedOne, FixedFromFloat(c.gap)};
    params.dashes = pattern;
    struct Counter final : raster::SubpathConsumer {
      void ProcessPath(const SegmentPath&, uint32_t) override { ++count; }
      int count = 0;
    } counter;
    raster::Dasher dasher(&context_, arena_, params, counter);
    SegmentPath path(arena_, params);
    path.LineTo(SegPoint(0, 0), SegPoint(40, 0));
    dasher.ProcessPath(path, 0);
    EXPECT_EQ(counter.count == 1, c.solid) << c.cap << " " << c.gap;
  }
}

TEST_F(SegmentPathTest, TheDashersCapExtentsFollowTheCapStyle) {
  // d: the gap tolerance, w: the width. A projecting cap keeps its end
  // extent from 13565/65536 of the width (about 0.207 w) on.
  const Fixed w = 4 * kFixedOne;
  struct Case {
    const char* name;
    int cap;
    Fixed d;
    Fixed a, b;
  };
  const Case cases[] = {
      {"butt, half width above d", 0, kFixedOne, kFixedOne, 0},
      {"butt, half width at or below d", 0, 3 * kFixedOne, 3 * kFixedOne, -kFixedOne},
      {"round, d below half width", 1, kFixedOne, 2 * FixedSqrt(3 * kFixedOne), 2 * FixedSqrt(3 * kFixedOne)},
      {"round, d at half width", 1, 2 * kFixedOne, 6 * kFixedOne, 6 * kFixedOne},
      {"square, d below the switch", 2, FixedMul(13565, w) - 1, FixedMul(13565, w) - 1 + w, 0},
      {"square, d at the switch", 2, FixedMul(13565, w), FixedMul(13565, w) + w, FixedMul(13565, w) + w},
      {"unknown cap", 7, kFixedOne, kFixedOne, kFixedOne},
  };
  for (const Case& c : cases) {
    StrokeParameters params = StrokeParameters::Simple(w, c.cap, 0, 10 * kFixedOne);
    params.tolerance = c.d;
    const Fixed pattern[2] = {30 * kFixedOne, 30 * kFixedOne};
    params.dashes = pattern;
    struct Sink final : raster::SubpathConsumer {
      void ProcessPath(const SegmentPath&, uint32_t) override {}
    } sink;
    raster::Dasher dasher(&context_, arena_, params, sink);
    EXPECT_EQ(dasher.ThresholdA(), c.a) << c.name;
    EXPECT_EQ(dasher.ThresholdB(), c.b) << c.name;
  }
  // Solid-looking patterns pass through: a negative entry, a period below
  // 5/65536.
  for (const std::vector<Fixed>& pattern : {std::vector<Fixed>{kFixedOne, -1}, std::vector<Fixed>{2, 2}}) {
    StrokeParameters params = StrokeParameters::Simple(w, 0, 0, 10 * kFixedOne);
    params.dashes = pattern;
    struct Sink final : raster::SubpathConsumer {
      void ProcessPath(const SegmentPath&, uint32_t) override {}
    } sink;
    EXPECT_TRUE(raster::Dasher(&context_, arena_, params, sink).Bypass()) << pattern[0] << " " << pattern[1];
  }
}

}  // namespace
