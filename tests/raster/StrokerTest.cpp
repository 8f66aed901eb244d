// Stroking: caps, joins, miter limits, degenerate sub-paths, dashes, the
// stroke as a clip, and strokes of hostile size.
#include "raster/Stroker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "raster/ClipAccumulator.h"
#include "raster/Dasher.h"
#include "raster/PaintObject.h"
#include "raster/PathScanConverter.h"
#include "raster/PipelineDriver.h"
#include "raster/PixelRegion.h"
#include "raster/StrokeDriver.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "tests/raster/CoverageRaster.h"

namespace {

using raster::StoredPath;
using runtime::Fixed;
using runtime::FixedFromFloat;
using runtime::FixedPoint;
using runtime::kFixedOne;
using runtime::StrokeStyle;

FixedPoint StrokerPoint(double x, double y) { return {FixedFromFloat(x), FixedFromFloat(y)}; }

class StrokerTest : public ::testing::Test {
 protected:
  std::vector<uint8_t> Stroke(const StoredPath& path, const StrokeStyle& style, const runtime::IntRect& area,
                              const runtime::Matrix& matrix = runtime::Matrix{}) {
    raster::ScanConverter* converter =
        raster::PaintObject::CreateStroke(&context_, arena_, area, path.Points(), style, matrix);
    return testsupport::RenderCoverage(*converter);
  }
  std::vector<uint8_t> Fill(const StoredPath& path, const runtime::IntRect& area) {
    raster::PathScanConverter converter(&context_, arena_, path.Points(), runtime::Matrix{}, area, false);
    return testsupport::RenderCoverage(converter);
  }
  StrokeStyle Style(double width, int cap, int join = StrokeStyle::kMiterJoin, double miter = 10) {
    StrokeStyle style(&context_);
    style.width = FixedFromFloat(width);
    style.lineCap = cap;
    style.lineJoin = join;
    style.miterLimit = FixedFromFloat(miter);
    return style;
  }
  static double Sum(const std::vector<uint8_t>& image) {
    return std::accumulate(image.begin(), image.end(), 0.0) / 255.0;
  }

  runtime::LibraryContext context_;
  runtime::ArenaAllocator arena_{&context_, 1 << 16, 4096};
};

TEST_F(StrokerTest, AButtCappedLineCoversItsRectangleExactly) {
  StoredPath line(arena_);
  line.MoveTo(StrokerPoint(10, 10));
  line.LineTo(StrokerPoint(30, 10));
  StoredPath rect(arena_);
  rect.MoveTo(StrokerPoint(10, 8));
  rect.LineTo(StrokerPoint(30, 8));
  rect.LineTo(StrokerPoint(30, 12));
  rect.LineTo(StrokerPoint(10, 12));
  rect.Close();
  const runtime::IntRect area{0, 0, 40, 20};
  EXPECT_EQ(Stroke(line, Style(4, StrokeStyle::kButtCap), area), Fill(rect, area));
}

TEST_F(StrokerTest, AZeroLengthSubpathIsADiscOnlyWithRoundCaps) {
  StoredPath dot(arena_);
  dot.MoveTo(StrokerPoint(10, 10));
  dot.LineTo(StrokerPoint(10, 10));
  const runtime::IntRect area{0, 0, 20, 20};
  const std::vector<uint8_t> round = Stroke(dot, Style(4, StrokeStyle::kRoundCap), area);
  EXPECT_NEAR(Sum(round), M_PI * 4, 1.0);
  // A disc: symmetric about its centre, nothing beyond its radius.
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      EXPECT_EQ(round[y * 20 + x], round[(19 - y) * 20 + (19 - x)]) << x << "," << y;
      if (std::hypot(x + 0.5 - 10, y + 0.5 - 10) > 2.8) {
        EXPECT_EQ(round[y * 20 + x], 0) << x << "," << y;
      }
    }
  EXPECT_EQ(round[9 * 20 + 9], 255);
  for (const int cap : {StrokeStyle::kButtCap, StrokeStyle::kSquareCap})
    EXPECT_EQ(Sum(Stroke(dot, Style(4, cap), area)), 0.0) << cap;
  // A close alone is a zero-length sub-path too.
  StoredPath closed(arena_);
  closed.MoveTo(StrokerPoint(10, 10));
  closed.Close();
  EXPECT_EQ(Stroke(closed, Style(4, StrokeStyle::kRoundCap), area), round);
}

TEST_F(StrokerTest, MiterJoinsMakeSquareCornersAndBevelAtLimitOne) {
  StoredPath square(arena_);
  square.MoveTo(StrokerPoint(10, 10));
  square.LineTo(StrokerPoint(30, 10));
  square.LineTo(StrokerPoint(30, 30));
  square.LineTo(StrokerPoint(10, 30));
  square.Close();
  const runtime::IntRect area{0, 0, 40, 40};
  const std::vector<uint8_t> mitred = Stroke(square, Style(4, StrokeStyle::kButtCap), area);
  // The outer corner pixels are full, the hole inside empty.
  for (const auto& [x, y] : {std::pair{8, 8}, {31, 8}, {31, 31}, {8, 31}}) EXPECT_EQ(mitred[y * 40 + x], 255);
  EXPECT_EQ(mitred[20 * 40 + 20], 0);
  EXPECT_EQ(mitred[20 * 40 + 12], 0);
  EXPECT_EQ(mitred[20 * 40 + 9], 255);
  // The mitred frame is exactly the ring between two squares, on whole
  // pixels.
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool outer = x >= 8 && x < 32 && y >= 8 && y < 32;
      const bool hole = x >= 12 && x < 28 && y >= 12 && y < 28;
      EXPECT_EQ(mitred[y * 40 + x], outer && !hole ? 255 : 0) << x << "," << y;
    }

  const std::vector<uint8_t> bevelled =
      Stroke(square, Style(4, StrokeStyle::kButtCap, StrokeStyle::kMiterJoin, 1.0), area);
  EXPECT_EQ(bevelled[8 * 40 + 8], 0);
  EXPECT_EQ(bevelled[8 * 40 + 31], 0);
  EXPECT_GT(bevelled[9 * 40 + 9], 0);
  // Four corner triangles with legs of the half width (narrowed by the
  // stroke set-up's quarter pixel to 1.875).
  EXPECT_NEAR(Sum(mitred) - Sum(bevelled), 4 * 1.875 * 1.875 / 2, 0.5);
}

TEST_F(StrokerTest, CapsExtendOpenEnds) {
  StoredPath line(arena_);
  line.MoveTo(StrokerPoint(10, 10));
  line.LineTo(StrokerPoint(20, 10));
  line.LineTo(StrokerPoint(30, 10.0001));  // two segments: the passes, not the single-line shortcut
  const runtime::IntRect area{0, 0, 40, 20};
  const double butt = Sum(Stroke(line, Style(4, StrokeStyle::kButtCap), area));
  const double round = Sum(Stroke(line, Style(4, StrokeStyle::kRoundCap), area));
  const double square = Sum(Stroke(line, Style(4, StrokeStyle::kSquareCap), area));
  EXPECT_NEAR(butt, 80, 1.5);
  EXPECT_NEAR(round, 80 + M_PI * 4, 1.5);
  EXPECT_NEAR(square, 80 + 16, 1.5);
}

TEST_F(StrokerTest, CurvesAndRoundJoinsStayWithinTheirWidth) {
  // A circle of radius 20 stroked 6 wide is a ring of radii 17 and 23.
  StoredPath circle(arena_);
  const double k = 0.5523 * 20;
  circle.MoveTo(StrokerPoint(50, 30));
  circle.CurveTo(StrokerPoint(50, 30 + k), StrokerPoint(30 + k, 50), StrokerPoint(30, 50));
  circle.CurveTo(StrokerPoint(30 - k, 50), StrokerPoint(10, 30 + k), StrokerPoint(10, 30));
  circle.CurveTo(StrokerPoint(10, 30 - k), StrokerPoint(30 - k, 10), StrokerPoint(30, 10));
  circle.CurveTo(StrokerPoint(30 + k, 10), StrokerPoint(50, 30 - k), StrokerPoint(50, 30));
  circle.Close();
  const runtime::IntRect area{0, 0, 60, 60};
  const std::vector<uint8_t> ring = Stroke(circle, Style(6, StrokeStyle::kButtCap, StrokeStyle::kRoundJoin), area);
  EXPECT_NEAR(Sum(ring), M_PI * (23 * 23 - 17 * 17), 12);
  EXPECT_EQ(ring[30 * 60 + 30], 0);
  EXPECT_EQ(ring[30 * 60 + 50], 255);
  EXPECT_EQ(ring[30 * 60 + 55], 0);
}

// Records the dashes the dasher hands on, as [start, end) along x.
class DashRecorder final : public raster::SubpathConsumer {
 public:
  void ProcessPath(const raster::SegmentPath& path, uint32_t) override {
    const auto segments = path.Segments();
    dashes.emplace_back(runtime::FixedToDouble(segments.front().Start().x),
                        runtime::FixedToDouble(segments.back().End().x));
  }
  std::vector<std::pair<double, double>> dashes;
};

TEST_F(StrokerTest, DashesFollowThePhase) {
  struct Case {
    std::vector<double> pattern;
    double phase;
    std::vector<std::pair<double, double>> expected;
  };
  const Case cases[] = {
      {{3, 3}, 4, {{2, 5}, {8, 11}, {14, 17}}},
      {{2}, 0, {{0, 2}, {4, 6}, {8, 10}, {12, 14}, {16, 18}}},  // odd: as [2 2]
      {{3, 3}, 4 + 6 * 1000, {{2, 5}, {8, 11}, {14, 17}}},      // whole periods of phase are skipped
      {{3, 3}, -2, {{2, 5}, {8, 11}, {14, 17}}},                // negative: back from the start
      {{5, 1, 2}, 0, {{0, 5}, {6, 8}, {13, 14}, {16, 20}}},
      // Zero-length dashes (dots with round caps), the first at the start;
      // none where the path ends.
      {{0, 5}, 0, {{0, 0}, {5, 5}, {10, 10}, {15, 15}}},
  };
  for (const Case& c : cases) {
    std::vector<Fixed> pattern;
    for (const double d : c.pattern) pattern.push_back(FixedFromFloat(d));
    raster::StrokeParameters params = raster::StrokeParameters::Simple(kFixedOne, 0, 0, 10 * kFixedOne);
    params.dashes = pattern;
    params.dashPhase = FixedFromFloat(c.phase);
    DashRecorder recorder;
    raster::Dasher dasher(&context_, arena_, params, recorder);
    raster::SegmentPath path(arena_, params);
    path.LineTo({0, 0}, StrokerPoint(10, 0));
    path.LineTo(StrokerPoint(10, 0), StrokerPoint(20, 0));
    dasher.ProcessPath(path, 0);
    ASSERT_EQ(recorder.dashes.size(), c.expected.size()) << c.phase;
    for (size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_NEAR(recorder.dashes[i].first, c.expected[i].first, 0.01) << c.phase << " " << i;
      EXPECT_NEAR(recorder.dashes[i].second, c.expected[i].second, 0.01) << c.phase << " " << i;
    }
  }
}

TEST_F(StrokerTest, DegenerateDashPatternsStrokeSolid) {
  struct Case {
    std::vector<Fixed> pattern;
    Fixed phase;
  };
  const Case cases[] = {
      {{0, 0}, 0},                      // all zeros
      {{2, 2}, 0},                      // a period below 5/65536
      {{kFixedOne, -kFixedOne}, 0},     // a negative entry
      {{6, 6}, FixedFromFloat(30000)},  // [0.0001 0.0001] at phase 30000
  };
  for (const Case& c : cases) {
    raster::StrokeParameters params = raster::StrokeParameters::Simple(kFixedOne, 0, 0, 10 * kFixedOne);
    params.dashes = c.pattern;
    params.dashPhase = c.phase;
    DashRecorder recorder;
    raster::Dasher dasher(&context_, arena_, params, recorder);
    raster::SegmentPath path(arena_, params);
    path.LineTo({0, 0}, StrokerPoint(10, 0));
    path.LineTo(StrokerPoint(10, 0), StrokerPoint(20, 5));
    dasher.ProcessPath(path, 0);
    // Either never dashed, or given up within the first period: the whole
    // path goes on undashed.
    ASSERT_GE(recorder.dashes.size(), 1u);
    EXPECT_LE(recorder.dashes.size(), 3u);
    EXPECT_EQ(recorder.dashes.back().first, 0);
    EXPECT_EQ(recorder.dashes.back().second, 20);
  }
}

TEST_F(StrokerTest, AClosedPathJoinsItsLastDashWithItsFirst) {
  raster::StrokeParameters params = raster::StrokeParameters::Simple(kFixedOne, 0, 0, 10 * kFixedOne);
  const Fixed pattern[] = {FixedFromFloat(6), FixedFromFloat(4)};
  params.dashes = pattern;
  params.dashPhase = FixedFromFloat(0);
  DashRecorder recorder;
  raster::Dasher dasher(&context_, arena_, params, recorder);
  raster::SegmentPath path(arena_, params);
  // A 10 x 10 square, 40 long: on [0,6) [10,16) [20,26) [30,36), so the last
  // dash ends 4 before the start; with phase 0 the walk ends in a gap and the
  // first dash is emitted alone, last.
  path.LineTo({0, 0}, StrokerPoint(10, 0));
  path.LineTo(StrokerPoint(10, 0), StrokerPoint(10, 10));
  path.LineTo(StrokerPoint(10, 10), StrokerPoint(0, 10));
  path.ClosePath(StrokerPoint(0, 10), StrokerPoint(0, 0));
  dasher.ProcessPath(path, 0);
  ASSERT_EQ(recorder.dashes.size(), 4u);
  // Phase 8: on [2,8) [12,18) [22,28) [32,40) + [0,4): joined around the corner.
  DashRecorder joined;
  params.dashPhase = FixedFromFloat(8);
  raster::Dasher second(&context_, arena_, params, joined);
  second.ProcessPath(path, 0);
  ASSERT_EQ(joined.dashes.size(), 4u);
  EXPECT_NEAR(joined.dashes.back().first, 0, 0.01);   // from (0, 8) on the left side ...
  EXPECT_NEAR(joined.dashes.back().second, 0, 0.01);  // ... round the corner to (0, 0)+
}

TEST_F(StrokerTest, AStrokeClipsExactlyLikeItsOutlineFilled) {
  StoredPath zigzag(arena_);
  zigzag.MoveTo(StrokerPoint(4, 4));
  zigzag.LineTo(StrokerPoint(20, 28));
  zigzag.CurveTo(StrokerPoint(24, 4), StrokerPoint(30, 4), StrokerPoint(36, 30));
  const StrokeStyle style = Style(5, StrokeStyle::kRoundCap, StrokeStyle::kRoundJoin);
  const runtime::IntRect area{0, 0, 40, 32};
  const raster::PixelRegion* region = raster::PixelRegion::FromRect(arena_, area);

  raster::ClipAccumulator clip(&context_, arena_, *region);
  clip.AddStroke(zigzag.Points(), style, runtime::Matrix{});
  ASSERT_NE(clip.ClipNode(), nullptr);
  auto* clipCoverage = static_cast<raster::ScanConverter*>(clip.ClipNode());
  StoredPath outline(arena_);
  runtime::Matrix fillMatrix;
  raster::StrokeDriver::StrokePath(&context_, arena_, zigzag.Points(), style, runtime::Matrix{}, area, outline,
                                   fillMatrix);
  EXPECT_EQ(testsupport::RenderCoverage(*clipCoverage), Fill(outline, area));
  EXPECT_EQ(Stroke(zigzag, style, area), Fill(outline, area));
}

TEST_F(StrokerTest, HugeWidthsAndMitersAreCutNotWrapped) {
  StoredPath line(arena_);
  line.MoveTo(StrokerPoint(10, 10));
  line.LineTo(StrokerPoint(30, 12));
  line.LineTo(StrokerPoint(10, 14));  // a sharp turn: a miter far out
  const runtime::IntRect area{0, 0, 40, 40};
  for (const double width : {1000.0, 30000.0}) {
    const std::vector<uint8_t> huge =
        Stroke(line, Style(width, StrokeStyle::kSquareCap, StrokeStyle::kMiterJoin, 1000), area);
    EXPECT_EQ(Sum(huge), 1600.0) << width;  // every pixel covered
  }
  // A matrix that enlarges a moderate width beyond the 16.16 range.
  const std::vector<uint8_t> scaled = Stroke(line, Style(500, StrokeStyle::kRoundCap), area,
                                             runtime::Matrix{100 * kFixedOne, 0, 0, 100 * kFixedOne, 0, 0});
  EXPECT_EQ(Sum(scaled), 1600.0);
}

TEST_F(StrokerTest, HairlinesAreOnePixelWide) {
  StoredPath line(arena_);
  line.MoveTo(StrokerPoint(2, 10.5));
  line.LineTo(StrokerPoint(38, 10.5));
  line.LineTo(StrokerPoint(38, 30.5));
  const runtime::IntRect area{0, 0, 40, 40};
  for (const double width : {0.0, 0.1}) {
    const std::vector<uint8_t> hair = Stroke(line, Style(width, StrokeStyle::kButtCap), area);
    EXPECT_NEAR(Sum(hair), 36 + 20, 4) << width;
    EXPECT_GT(hair[10 * 40 + 20], 200) << width;
    EXPECT_EQ(hair[12 * 40 + 20], 0) << width;
  }
}

}  // namespace

namespace {

// Hostile strokes: coordinates and widths anywhere in the 16.16 range,
// miter limits, dash patterns and matrices from a random stream. Nothing may
// crash, hang or read outside its buffers; errors are allowed.
TEST(HostileStrokeTest, ExtremeStrokesRenderOrFailCleanly) {
  runtime::LibraryContext context;
  std::mt19937 random(7);
  auto anyFixed = [&] {
    switch (random() % 4) {
      case 0:
        return static_cast<Fixed>(random());
      case 1:
        return static_cast<Fixed>(static_cast<int32_t>(random()) >> 12);
      case 2:
        return static_cast<Fixed>(static_cast<int32_t>(random() % 200 - 100) * kFixedOne);
      default:
        return static_cast<Fixed>(static_cast<int32_t>(random() % 5) - 2);
    }
  };
  for (int round = 0; round < 300; ++round) {
    runtime::ArenaAllocator arena(&context, 1 << 16, 4096);
    runtime::ErrorTrap trap(&context);
    if (!trap.Run([&] {
          StrokeStyle style(&context);
          style.width = anyFixed();
          style.miterLimit = anyFixed();
          style.lineCap = static_cast<int32_t>(random() % 3);
          style.lineJoin = static_cast<int32_t>(random() % 3);
          if (random() % 2 == 0) {
            const Fixed pattern[3] = {anyFixed(), anyFixed(), anyFixed()};
            style.SetDash({pattern, random() % 4}, anyFixed());
          }
          const Fixed scale = random() % 3 == 0 ? anyFixed() : kFixedOne;
          const runtime::Matrix matrix{scale, random() % 4 == 0 ? anyFixed() : 0, 0, scale, anyFixed(), anyFixed()};
          StoredPath path(arena);
          path.MoveTo({anyFixed(), anyFixed()});
          const int count = 1 + static_cast<int>(random() % 8);
          for (int i = 0; i < count; ++i) {
            switch (random() % 4) {
              case 0:
                path.CurveTo({anyFixed(), anyFixed()}, {anyFixed(), anyFixed()}, {anyFixed(), anyFixed()});
                break;
              case 1:
                path.Close();
                break;
              default:
                path.LineTo({anyFixed(), anyFixed()});
                break;
            }
          }
          raster::ScanConverter* converter =
              raster::PaintObject::CreateStroke(&context, arena, {0, 0, 48, 48}, path.Points(), style, matrix);
          testsupport::RenderCoverage(*converter);
        })) {
      trap.SetHandled();
      trap.Close();
    }
  }
}

}  // namespace
