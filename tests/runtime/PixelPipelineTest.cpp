#include <gtest/gtest.h>

#include <vector>

#include "runtime/ClipRowWalker.h"
#include "runtime/ConvertingSource.h"
#include "runtime/OutputTargets.h"
#include "runtime/SpanOutputStage.h"
#include "tests/support/CaughtError.h"

namespace runtime {
namespace {

using testsupport::RuntimeCodeOf;

// Packed RGB, 3 bytes a pixel.
PixelLayout PackedRgb() {
  PixelLayout layout;
  layout.channels = 3;
  layout.bytesPerPixel = 3;
  layout.hasColour = true;
  return layout;
}

uint8_t Sample(int32_t x, int32_t y, int32_t c) { return static_cast<uint8_t>(x * 7 + y * 31 + c); }

// An upstream that makes at most `run` pixels a call into a one-row packed
// RGB buffer, pixel (x, y) channel c = Sample(x, y, c). It follows the rows
// as a sink of the output.
class RowSource final : public PixelPipeline, public RowSink {
 public:
  RowSource(LibraryContext* context, ArenaAllocator& arena, int32_t width, int32_t run)
      : buffer_(context, &arena, {0, 0, width, 1}, PackedRgb(), true), run_(run) {
    element_ = {&buffer_.colour, 0};
    InitHeader(1, &element_, {0, 0, width, 1}, 0);
  }
  void SetRow(int32_t y) override { row_ = y; }
  void NextRow() override { ++row_; }
  int32_t Span(int32_t x0, int32_t x1) override {
    ++spans;
    const int32_t end = overshoot ? x1 + 1 : std::min(x1, x0 + run_);
    for (int32_t x = x0; x < std::min(end, x1); ++x) {
      SpanCursor cursor = SpanCursor::At(&buffer_.colour, x, 0);
      for (int32_t c = 0; c < 3; ++c) *cursor.Channel(c) = Sample(x, row_, c);
    }
    return end;
  }
  void Begin(uintptr_t) override { ++begins; }
  void End() override { ++ends; }
  void DropView() { InitHeader(0, nullptr, bounds, 0); }

  int spans = 0, begins = 0, ends = 0;
  bool overshoot = false;

 private:
  PixelBuffer buffer_;
  PipelineElement element_;
  int32_t run_;
  int32_t row_ = 0;
};

// Each destination channel is 255 minus the source channel.
class InvertConverter final : public PixelConverter {
 public:
  void ConvertSpan(const SpanCursor& destination, uint32_t, const SpanCursor& source,
                   int32_t count) override {
    ++calls;
    SpanCursor to = destination, from = source;
    for (int32_t i = 0; i < count; ++i, to.Next(), from.Next()) {
      for (int32_t c = 0; c < to.count; ++c) *to.Channel(c) = static_cast<uint8_t>(255 - *from.Channel(c));
    }
  }
  int calls = 0;
};

class PixelPipelineTest : public ::testing::Test {
 protected:
  uint8_t ConvertedAt(const ConvertingSource& source, int32_t x, int32_t c) {
    return *SpanCursor::At(&source.Buffer().colour, x, 0).Channel(c);
  }
  LibraryContext context;
  ArenaAllocator arena{&context, 4096, 1024};
  InvertConverter converter;
};

TEST_F(PixelPipelineTest, ConvertingSourceConvertsWhatTheUpstreamMade) {
  struct Case {
    const char* name;
    int32_t run, x0, x1, expectedEnd;
  };
  const Case cases[] = {
      {"whole request", 64, 4, 12, 12},
      {"upstream stops short", 5, 0, 32, 5},
      {"upstream makes nothing", 0, 7, 20, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RowSource upstream(&context, arena, 32, c.run);
    ConvertingSource source(&context, arena, upstream, converter, {0, 0, 32, 1}, PackedRgb());
    converter.calls = 0;
    source.currentElement = 5;
    EXPECT_EQ(source.Span(c.x0, c.x1), c.expectedEnd);
    EXPECT_EQ(source.currentElement, 0u);
    EXPECT_EQ(converter.calls, c.expectedEnd > c.x0 ? 1 : 0);
    EXPECT_EQ(source.OutputView(), &source.Buffer().colour);
    for (int32_t x = 0; x < 32; ++x) {
      const bool converted = x >= c.x0 && x < c.expectedEnd;
      EXPECT_EQ(ConvertedAt(source, x, 1), converted ? 255 - Sample(x, 0, 1) : 0) << x;
    }
  }
}

TEST_F(PixelPipelineTest, ConvertingSourceTreatsNoViewAsNoPixels) {
  RowSource upstream(&context, arena, 32, 64);
  ConvertingSource source(&context, arena, upstream, converter, {0, 0, 32, 1}, PackedRgb());
  source.Span(0, 32);
  upstream.DropView();
  EXPECT_EQ(source.Span(8, 16), 16);
  EXPECT_EQ(converter.calls, 1);  // only the first span
  for (int32_t x = 0; x < 32; ++x) {
    const bool cleared = x >= 8 && x < 16;
    EXPECT_EQ(ConvertedAt(source, x, 0), cleared ? 0 : 255 - Sample(x, 0, 0)) << x;
  }
}

TEST_F(PixelPipelineTest, ConvertingSourceRejectsAStageThatOvershoots) {
  RowSource upstream(&context, arena, 32, 64);
  ConvertingSource source(&context, arena, upstream, converter, {0, 0, 32, 1}, PackedRgb());
  upstream.overshoot = true;
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { source.Span(0, 10); }), 2);
  // A span outside the converted row's columns.
  upstream.overshoot = false;
  ConvertingSource narrow(&context, arena, upstream, converter, {0, 0, 8, 1}, PackedRgb());
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { narrow.Span(4, 12); }), 2);
}

TEST_F(PixelPipelineTest, BeginAndEndPassDownOnce) {
  RowSource upstream(&context, arena, 8, 8);
  ConvertingSource source(&context, arena, upstream, converter, {0, 0, 8, 1}, PackedRgb());
  source.End();
  EXPECT_EQ(upstream.ends, 0);
  source.Begin(7);
  source.Begin(9);
  EXPECT_EQ(upstream.begins, 1);
  EXPECT_EQ(upstream.begun, 7u);
  source.End();
  source.End();
  EXPECT_EQ(upstream.ends, 1);
  EXPECT_EQ(upstream.begun, 0u);
}

TEST_F(PixelPipelineTest, ClipRowWalkerRuns) {
  ClipRowWalker rect(arena);
  rect.SetRect({10, 5, 20, 8});
  Region region(&context);
  {
    Region piece(&context);
    region.FromRect({2, 5, 6, 8});
    piece.FromRect({10, 5, 14, 8});
    region.CombineInPlace(piece, RegionOp::kUnion);
  }
  ClipRowWalker bands(arena);
  bands.SetRegion(region);
  EXPECT_TRUE(rect.IsSimpleRect());
  EXPECT_FALSE(bands.IsSimpleRect());

  struct Step {
    int32_t x, limit, end;
    bool inside;
  };
  struct Case {
    const char* name;
    ClipRowWalker* walker;
    int32_t row;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"row above the rectangle", &rect, 4, {{0, 32, 32, false}, {12, 32, 32, false}}},
      {"row below the rectangle", &rect, 8, {{12, 32, 32, false}}},
      {"cut at the left edge, then inside", &rect, 5, {{0, 32, 10, false}, {10, 32, 20, true}}},
      {"at or right of the right edge", &rect, 6, {{20, 32, 32, false}, {25, 30, 30, false}}},
      {"limit cuts the run", &rect, 7, {{12, 15, 15, true}, {15, 32, 20, true}}},
      {"left of the first span again", &bands, 6,
       {{11, 32, 14, true}, {3, 32, 6, true}, {6, 32, 10, false}, {14, 32, 32, false}}},
      {"walk across the gap", &bands, 5,
       {{0, 32, 2, false}, {2, 32, 6, true}, {6, 32, 10, false}, {10, 12, 12, true},
        {12, 32, 14, true}, {14, 32, 32, false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.walker->SetRow(c.row);
    for (const Step& step : c.steps) {
      EXPECT_EQ(c.walker->Advance(step.x, step.limit), step.end) << step.x;
      EXPECT_EQ(c.walker->SpanInside(), step.inside) << step.x;
    }
  }
  // Moving down from above the area into it and out again.
  rect.SetRow(3);
  rect.NextRow();
  rect.Advance(12, 32);
  EXPECT_FALSE(rect.SpanInside());
  rect.NextRow();
  rect.Advance(12, 32);
  EXPECT_TRUE(rect.SpanInside());
  rect.NextRow();
  rect.NextRow();
  rect.NextRow();
  rect.Advance(12, 32);
  EXPECT_FALSE(rect.SpanInside());

  Region empty(&context);
  ClipRowWalker none(arena);
  none.SetRegion(empty);
  none.SetRow(0);
  EXPECT_EQ(none.Advance(0, 32), 32);
  EXPECT_FALSE(none.SpanInside());
}

TEST_F(PixelPipelineTest, SpanOutputStageWritesOnlyInsideTheArea) {
  // A 32-pixel row of 4-byte pixels, painted over [10, 20).
  RowSource pipeline(&context, arena, 32, 64);
  PixelBuffer destination(&context, &arena);
  destination.SetupAndAllocate({0, 0, 32, 1}, PixelLayout::Make(3, false, false), true);
  ClipRowWalker walker(arena);
  walker.SetRect({10, 0, 20, 1});
  OutputTargets targets(arena, pipeline, destination, &walker);
  SpanOutputStage stage(arena, targets);
  PixelPipeline::RunRect(stage, {0, 0, 32, 1});
  EXPECT_EQ(pipeline.spans, 1);  // the runs outside never reach the pipeline
  for (int32_t x = 0; x < 32; ++x) {
    const uint8_t* pixel = destination.storage + x * 4;
    const bool inside = x >= 10 && x < 20;
    EXPECT_EQ(pixel[2], inside ? Sample(x, 0, 0) : 0) << x;
    EXPECT_EQ(pixel[1], inside ? Sample(x, 0, 1) : 0) << x;
    EXPECT_EQ(pixel[0], inside ? Sample(x, 0, 2) : 0) << x;
    EXPECT_EQ(pixel[3], inside ? 255 : 0) << x;
  }
}

TEST_F(PixelPipelineTest, SpanOutputStageFollowsARegionIntoPlanes) {
  // Short upstream runs and a region of several bands: every pixel must be
  // written exactly where the region is, in shape, alpha and colour planes.
  Region region(&context);
  {
    Region piece(&context);
    for (const IntRect& r : {IntRect{2, 0, 6, 3}, IntRect{10, 1, 14, 4}, IntRect{0, 3, 4, 5},
                             IntRect{20, 5, 40, 6}}) {
      piece.FromRect(r);
      region.CombineInPlace(piece, RegionOp::kUnion);
    }
  }
  PixelLayout layout = PixelLayout::ForPlanes(3, 2, 3, true);
  layout.storageKind = 2;
  PixelBuffer destination(&context, &arena, {0, 0, 24, 7}, layout, true);
  RowSource pipeline(&context, arena, 24, 3);
  ClipRowWalker walker(arena);
  walker.SetRegion(region);
  OutputTargets targets(arena, pipeline, destination, &walker);
  targets.AddSink(pipeline);
  SpanOutputStage stage(arena, targets);
  PixelPipeline::RunRect(stage, {0, 0, 24, 7});
  for (int32_t y = 0; y < 7; ++y) {
    for (int32_t x = 0; x < 24; ++x) {
      RegionBand band;
      const RegionSpan* span = region.FindBand(y, band) ? band.FindSpan(x) : nullptr;
      const bool inside = span != nullptr && span->value != 0;
      EXPECT_EQ(*SpanCursor::At(&destination.shape, x, y).Channel(0), inside ? 255 : 0) << x << "," << y;
      EXPECT_EQ(*SpanCursor::At(&destination.alpha, x, y).Channel(0), inside ? 255 : 0) << x << "," << y;
      const SpanCursor colour = SpanCursor::At(&destination.colour, x, y);
      for (int32_t c = 0; c < 3; ++c) {
        EXPECT_EQ(*colour.Channel(c), inside ? Sample(x, y, c) : 0) << x << "," << y << " " << c;
      }
    }
  }
}

TEST_F(PixelPipelineTest, WriterSelection) {
  RowSource pipeline(&context, arena, 8, 8);
  PixelBuffer bgrx(&context, &arena);
  bgrx.SetupAndAllocate({0, 0, 8, 1}, PixelLayout::Make(3, false, false), true);
  PixelBuffer planes(&context, &arena, {0, 0, 8, 1}, PixelLayout::ForPlanes(3, 2, 3, true), true);
  OutputTargets toBgrx(arena, pipeline, bgrx, nullptr);
  OutputTargets toPlanes(arena, pipeline, planes, nullptr);
  const PlaneView* source = pipeline.OutputView();
  EXPECT_NE(dynamic_cast<OpaqueBgrxSpanWriter*>(SpanWriter::Select(arena, toBgrx, source)), nullptr);
  EXPECT_NE(dynamic_cast<OpaquePlanesSpanWriter*>(SpanWriter::Select(arena, toPlanes, source)), nullptr);
  EXPECT_NE(dynamic_cast<NullSpanWriter*>(SpanWriter::Select(arena, toPlanes, nullptr)), nullptr);
  EXPECT_NE(dynamic_cast<NullSpanWriter*>(SpanWriter::Select(arena, toBgrx, &bgrx.colour)), nullptr);
}

}  // namespace
}  // namespace runtime
