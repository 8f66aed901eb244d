#include "raster/PathEdges.h"

#include <gtest/gtest.h>

#include "tests/raster/RasterTestUnits.h"

#include <vector>

#include "runtime/ArenaAllocator.h"
#include "runtime/EdgeScanner.h"
#include "runtime/LibraryContext.h"

namespace {

using raster::FixedClipBox;
using raster::PathEdges;
using runtime::EdgeRecord;
using runtime::FixedPoint;
using runtime::kFixedOne;

using rastertest::I;
FixedPoint Pt(int x, int y) { return {I(x), I(y)}; }

struct Piece {
  FixedPoint a, b;
  int zone;
};

class RecordingSink final : public raster::SegmentSink {
 public:
  void Segment(FixedPoint a, FixedPoint b, int zone) override { pieces.push_back({a, b, zone}); }
  std::vector<Piece> pieces;
};

class PathEdgesTest : public ::testing::Test {
 protected:
  // Runs one line through a PathEdges over the box (0,0)-(10,10) with the
  // given mode and identity mapping; returns the edges made for it (not those
  // of the closing line back).
  std::vector<EdgeRecord> Edges(int mode, FixedPoint a, FixedPoint b) {
    runtime::EdgeScanner scanner(&context_, &context_);
    PathEdges edges(&context_, arena_, scanner);
    edges.SetClip({0, 0, 10, 10}, mode);
    edges.SetMapping({0, 0}, runtime::Matrix{}, kFixedOne / 8);
    edges.MoveTo(a);
    edges.LineTo(b);
    edges.Finish();
    std::vector<EdgeRecord> result;
    for (EdgeRecord* head : edges.Chains()) {
      for (EdgeRecord* e = head; e != nullptr; e = e->chain) {
        if (e->tag == 0) result.push_back(*e);
      }
    }
    return result;
  }
  runtime::LibraryContext context_;
  runtime::ArenaAllocator arena_{&context_, 4096, 1024};
  const FixedClipBox box_{I(0), I(0), I(10), I(10), false};
};

TEST_F(PathEdgesTest, LinesBesideTheBoxBecomeItsSides) {
  // Modes 1-4: left of the box becomes a vertical edge on xmin with the
  // line's y extent clamped to the box; above it, nothing.
  auto left = Edges(1, Pt(-5, 2), Pt(-3, 20));
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].x0, I(0));
  EXPECT_EQ(left[0].x1, I(0));
  EXPECT_EQ(left[0].y0, I(2));
  EXPECT_EQ(left[0].y1, I(10));
  EXPECT_EQ(left[0].direction, EdgeRecord::kDownward);
  EXPECT_TRUE(Edges(1, Pt(2, 12), Pt(8, 15)).empty());
  // Modes 5-8 exchange the axes.
  EXPECT_TRUE(Edges(5, Pt(-5, 2), Pt(-3, 20)).empty());
  auto above = Edges(5, Pt(2, 12), Pt(8, 15));
  ASSERT_EQ(above.size(), 1u);
  EXPECT_EQ(above[0].y0, I(10));
  EXPECT_EQ(above[0].x1, I(8));
  // Mode 0: from above-left to below-left only the middle piece counts.
  auto outside = Edges(0, Pt(-5, 15), Pt(-5, -5));
  ASSERT_EQ(outside.size(), 1u);
  EXPECT_EQ(outside[0].x0, I(0));
  EXPECT_EQ(outside[0].y0, I(0));
  EXPECT_EQ(outside[0].y1, I(10));
  EXPECT_EQ(outside[0].direction, EdgeRecord::kUpward);
  // Any other mode drops every line.
  EXPECT_TRUE(Edges(9, Pt(1, 1), Pt(8, 8)).empty());
}

TEST_F(PathEdgesTest, SplittingFollowsTheBoxLines) {
  struct Case {
    const char* name;
    FixedPoint a, b;
    std::vector<int> zones;
  } cases[] = {
      {"same zone: one piece", Pt(-5, -5), Pt(-2, -9), {33}},
      {"above-left to below-left", Pt(-5, 15), Pt(-5, -5), {9, 17, 33}},
      {"through a corner: a zero-length piece there", Pt(-5, -5), Pt(5, 5), {33, 17, 18}},
      {"across the box", Pt(-5, 5), Pt(15, 5), {17, 18, 20}},
      {"diagonal across two corners", Pt(-5, -4), Pt(15, 16), {33, 17, 18, 10, 12}},
  };
  for (const Case& c : cases) {
    RecordingSink sink;
    raster::SplitSegment(box_, sink, c.a, raster::Outcode::Of(box_, c.a), c.b,
                         raster::Outcode::Of(box_, c.b));
    std::vector<int> zones;
    for (const Piece& piece : sink.pieces) zones.push_back(piece.zone);
    EXPECT_EQ(zones, c.zones) << c.name;
    ASSERT_FALSE(sink.pieces.empty());
    EXPECT_EQ(sink.pieces.front().a, c.a) << c.name;
    EXPECT_EQ(sink.pieces.back().b, c.b) << c.name;
    for (size_t i = 1; i < sink.pieces.size(); ++i) {
      EXPECT_EQ(sink.pieces[i].a, sink.pieces[i - 1].b) << c.name;
    }
  }
  RecordingSink corner;
  raster::SplitSegment(box_, corner, Pt(-5, -5), 33, Pt(5, 5), 18);
  ASSERT_EQ(corner.pieces.size(), 3u);
  EXPECT_EQ(corner.pieces[1].a, Pt(0, 0));
  EXPECT_EQ(corner.pieces[1].b, Pt(0, 0));
}

TEST_F(PathEdgesTest, CurvesFlattenIntoChains) {
  runtime::EdgeScanner scanner(&context_, &context_);
  PathEdges edges(&context_, arena_, scanner);
  edges.SetClip({-100, -100, 100, 100}, 0);
  edges.SetMapping({0, 0}, runtime::Matrix{}, kFixedOne / 8);
  // Control points on the end points: one chord.
  edges.MoveTo(Pt(0, 0));
  edges.CurveTo(Pt(0, 0), Pt(20, 30), Pt(20, 30));
  EXPECT_EQ(scanner.edgeCount, 1u);
  // A round curve: many chords, and closing makes one loop of two chains.
  edges.MoveTo(Pt(0, 0));
  edges.CurveTo(Pt(0, 40), Pt(40, 40), Pt(40, 0));
  edges.Finish();
  EXPECT_GT(scanner.edgeCount, 8u);
  uint32_t walked = 0;
  for (EdgeRecord* head : edges.Chains()) {
    for (EdgeRecord* e = head; e != nullptr; e = e->chain) {
      ++walked;
      ASSERT_LE(walked, scanner.edgeCount);  // no loops
      if (e->chain != nullptr) {
        EXPECT_LE(e->y0, e->chain->y0);
      }
    }
  }
  EXPECT_EQ(walked, scanner.edgeCount);
}

}  // namespace
