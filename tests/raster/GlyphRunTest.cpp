#include "raster/GlyphRun.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/ArenaAllocator.h"
#include "tests/raster/StubFont.h"
#include "tests/support/RaisedCode.h"

namespace raster {
namespace {

using runtime::FixedFromInt;
using runtime::kFixedOne;

class GlyphRunTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 16384, 4096};
  rastertest::StubFont font;  // glyphs 0.5 wide

  TextState Text(Fixed size = FixedFromInt(10)) {
    TextState text;
    text.font = &font;
    text.fontSize = size;
    return text;
  }
  static FixedPoint Show(GlyphRun& run, const std::string& s) {
    return run.ShowString(reinterpret_cast<const uint8_t*>(s.data()), static_cast<uint32_t>(s.size()));
  }
  // A TJ element: a string (kept alive in `strings`) or an adjustment.
  content::TextArrayElement String(const std::string& s) {
    strings.emplace_back(runtime::ByteString::BlockSize(static_cast<uint32_t>(s.size())) + 8, 0);
    auto* block = reinterpret_cast<runtime::ByteString*>(strings.back().data());
    block->length = static_cast<uint32_t>(s.size());
    std::memcpy(block->MutableBytes(), s.data(), s.size());
    content::TextArrayElement element;
    element.tag = content::TextArrayElement::kString;
    element.payload.string = block;
    return element;
  }
  static content::TextArrayElement Number(int thousandths) {
    content::TextArrayElement element;
    element.payload.adjustment = FixedFromInt(thousandths);
    return element;
  }
  std::vector<std::vector<uint64_t>> strings;
};

TEST_F(GlyphRunTest, TjAdjustmentMovesTheNextGlyphBack) {
  // TJ [(A) -500 (B)] at size 10, scaling 1: B lands 5 units further than
  // in Tj (AB).
  GlyphRun plain(&context, arena, Text(), {}, {});
  Show(plain, "AB");
  GlyphRun adjusted(&context, arena, Text(), {}, {});
  const content::TextArrayElement elements[] = {String("A"), Number(-500), String("B")};
  adjusted.ShowArray(elements, 3);
  ASSERT_EQ(plain.Records().size(), 2u);
  ASSERT_EQ(adjusted.Records().size(), 2u);
  EXPECT_EQ(adjusted.Records()[1].origin.x - plain.Records()[1].origin.x, FixedFromInt(5));
  EXPECT_EQ(adjusted.Records()[1].origin.y, plain.Records()[1].origin.y);
  EXPECT_EQ(adjusted.CurrentPoint().x - plain.CurrentPoint().x, FixedFromInt(5));
}

TEST_F(GlyphRunTest, NumbersOnlyMoveTheCurrentPointBySumOfAdjustments) {
  GlyphRun run(&context, arena, Text(), {}, {});
  const content::TextArrayElement elements[] = {Number(-250), Number(-250), Number(100)};
  const FixedPoint end = run.ShowArray(elements, 3);
  EXPECT_TRUE(run.Records().empty());
  EXPECT_NEAR(end.x, FixedFromInt(4), 16);  // -(-400/1000) × 10, thousandths rounded
  EXPECT_EQ(end.y, 0);
  ASSERT_EQ(run.Adjustments().size(), 1u);
  EXPECT_NEAR(run.Adjustments()[0], -FixedFromInt(400) / 1000, 2);
  EXPECT_EQ(run.BoundingBox(), runtime::kEmptyBoundsStart);
}

TEST_F(GlyphRunTest, SpacingScalingAndRisePlaceGlyphs) {
  static const char kTwoByteSpaces[] = {0, ' ', 0, ' ', 0};
  struct Case {
    const char* name;
    const char* text;
    Fixed charSpacing, wordSpacing, scale, rise;
    int codeBytes;
    Fixed expectedStep;  // advance of the first glyph
    Fixed expectedLift;  // origin y above the current point
    bool nonSpace;
  } cases[] = {
      {"plain", "AB", 0, 0, kFixedOne, 0, 1, FixedFromInt(5), 0, true},
      {"char spacing", "AB", FixedFromInt(2), 0, kFixedOne, 0, 1, FixedFromInt(7), 0, true},
      {"word spacing skips non-spaces", "AB", 0, FixedFromInt(3), kFixedOne, 0, 1, FixedFromInt(5), 0, true},
      {"word spacing on code 32", "  ", 0, FixedFromInt(3), kFixedOne, 0, 1, FixedFromInt(8), 0, false},
      {"spaces take both spacings", "  ", FixedFromInt(1), FixedFromInt(3), kFixedOne, 0, 1, FixedFromInt(9), 0,
       false},
      {"half scaling halves everything", "  ", FixedFromInt(2), FixedFromInt(2), kFixedOne / 2, 0, 1,
       FixedFromInt(9) / 2, 0, false},
      {"two-byte code 32 takes no word spacing", kTwoByteSpaces, 0, FixedFromInt(3), kFixedOne, 0,
       2, FixedFromInt(5), 0, true},
      {"rise lifts the glyph only", "AB", 0, 0, kFixedOne, FixedFromInt(4), 1, FixedFromInt(5), FixedFromInt(4),
       true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    rastertest::StubFont local(0x8000, 0xB333, test.codeBytes);
    TextState text = Text();
    text.font = &local;
    text.charSpacing = test.charSpacing;
    text.wordSpacing = test.wordSpacing;
    text.horizontalScale = test.scale;
    text.rise = test.rise;
    GlyphRun run(&context, arena, text, {}, {});
    const uint32_t length = test.codeBytes == 2 ? 4 : static_cast<uint32_t>(std::strlen(test.text));
    run.ShowString(reinterpret_cast<const uint8_t*>(test.text), length);
    ASSERT_EQ(run.Records().size(), 2u);
    EXPECT_NEAR(run.Records()[1].origin.x - run.Records()[0].origin.x, test.expectedStep, 1);
    EXPECT_EQ(run.Records()[0].origin.y, test.expectedLift);
    EXPECT_NEAR(run.CurrentPoint().x, 2 * test.expectedStep, 2);
    EXPECT_EQ(run.CurrentPoint().y, 0);
    EXPECT_EQ(run.HasNonSpace(), test.nonSpace);
  }
}

TEST_F(GlyphRunTest, VerticalFontsMoveAlongTheColumn) {
  font.vertical = true;
  GlyphRun run(&context, arena, Text(), {}, {});
  const content::TextArrayElement elements[] = {String("AB"), Number(500)};
  const FixedPoint end = run.ShowArray(elements, 2);
  ASSERT_EQ(run.Records().size(), 2u);
  // Each glyph advances by -1 × size along y; the adjustment of 500 moves
  // back by -0.5 × size along (c, d).
  EXPECT_EQ(run.Records()[1].end.y - run.Records()[0].end.y, -FixedFromInt(10));
  EXPECT_EQ(end.x, 0);
  EXPECT_NEAR(end.y, -FixedFromInt(25), 16);
  // The glyph origin is displaced by the vertical metrics (x by -w0/2).
  EXPECT_EQ(run.Records()[0].origin.x, -FixedFromInt(10) / 4);
}

TEST_F(GlyphRunTest, DeviceMatrixMapsRecordsAndBounds) {
  const Matrix flip{kFixedOne, 0, 0, -kFixedOne, FixedFromInt(100), FixedFromInt(200)};
  GlyphRun run(&context, arena, Text(), {kFixedOne, 0, 0, kFixedOne, FixedFromInt(10), FixedFromInt(20)}, flip);
  Show(run, "AB");
  ASSERT_EQ(run.Records().size(), 2u);
  EXPECT_EQ(run.Records()[0].origin, (FixedPoint{FixedFromInt(110), FixedFromInt(180)}));
  EXPECT_EQ(run.Records()[1].origin, (FixedPoint{FixedFromInt(115), FixedFromInt(180)}));
  const Rect box = run.BoundingBox();
  EXPECT_EQ(box.x0, FixedFromInt(110));
  EXPECT_EQ(box.x1, FixedFromInt(120));
  EXPECT_NEAR(box.y0, FixedFromInt(180) - 7 * kFixedOne, 8);
  EXPECT_EQ(box.y1, FixedFromInt(180));
}

TEST_F(GlyphRunTest, HugeSizesAndMatricesSaturateInsteadOfWrapping) {
  // Positions far past the 16.16 range stay at its edge: they never wrap
  // around to small or negative values.
  const Matrix huge{FixedFromInt(30000), 0, 0, FixedFromInt(30000), FixedFromInt(30000), 0};
  GlyphRun run(&context, arena, Text(FixedFromInt(30000)), {}, huge);
  Show(run, std::string(50, 'A'));
  Fixed previous = runtime::kFixedMin;
  for (const GlyphRecord& record : run.Records()) {
    EXPECT_GE(record.origin.x, previous);
    EXPECT_GE(record.end.x, record.origin.x);
    EXPECT_GE(record.boxHigh.x, record.boxLow.x);
    previous = record.origin.x;
  }
  EXPECT_EQ(run.Records().back().origin.x, runtime::kFixedMax);
  const Rect box = run.BoundingBox();
  EXPECT_LE(box.x0, box.x1);
}

TEST_F(GlyphRunTest, BadInputRaisesMalformed) {
  TextState noFont;
  EXPECT_EQ(testsupport::RaisedCode([&] { GlyphRun run(&context, arena, noFont, {}, {}); }), runtime::kMalformed);
  GlyphRun run(&context, arena, Text(), {}, {});
  content::TextArrayElement wrong;
  wrong.tag = static_cast<uint32_t>(runtime::ObjectTag::kBoolean);
  EXPECT_EQ(testsupport::RaisedCode([&] { run.ShowArray(&wrong, 1); }), runtime::kMalformed);

  // A decoder that does not move on, or moves past the string, would loop
  // for ever or read outside it.
  struct BrokenDecoder final : rastertest::StubFont {
    int step = 0;
    const uint8_t* NextGlyph(const uint8_t* cursor, const uint8_t*, runtime::GlyphInfo& out) override {
      out = runtime::GlyphInfo{};
      return cursor + step;
    }
  };
  for (int step : {0, 5}) {
    BrokenDecoder broken;
    broken.step = step;
    TextState text = Text();
    text.font = &broken;
    GlyphRun brokenRun(&context, arena, text, {}, {});
    EXPECT_EQ(testsupport::RaisedCode([&] { Show(brokenRun, "AB"); }), runtime::kMalformed) << step;
  }
}

}  // namespace
}  // namespace raster

#include "content/GraphicsState.h"

namespace raster {
namespace {

TEST_F(GlyphRunTest, TextStateComesFromTheGraphicsState) {
  content::GraphicsState state(&context, {}, runtime::kUnboundedRect);
  EXPECT_EQ(testsupport::RaisedCode([&] { TextState::FromGraphicsState(state); }), runtime::kMalformed);
  // The state counts the font it holds (the fixture's keeps its own count).
  state.font = runtime::FontHold(&context, &font);
  state.fontSize = FixedFromInt(12);
  state.horizontalScale = kFixedOne / 2;
  state.rise = FixedFromInt(3);
  state.renderMode = 6;
  const TextState text = TextState::FromGraphicsState(state);
  EXPECT_EQ(text.font, &font);
  EXPECT_EQ(text.renderMode, 6);
  // [Tfs × Th, 0, 0, Tfs, 0, rise] × Tm.
  const Matrix rendering = text.RenderingMatrix({kFixedOne, 0, 0, kFixedOne, FixedFromInt(100), FixedFromInt(50)});
  EXPECT_EQ(rendering, (Matrix{FixedFromInt(6), 0, 0, FixedFromInt(12), FixedFromInt(100), FixedFromInt(53)}));
}

}  // namespace
}  // namespace raster
