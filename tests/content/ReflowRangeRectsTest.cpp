// Where a stretch of text shows on a reflowed page: the boxes the reflow
// gave its glyphs, one per line, with the dropped hyphen left out. The
// stub font's glyphs are 5 units wide at size 10; lines are 10 high with
// 3 below the baseline, the column 80 wide with a margin of 5.
#include <gtest/gtest.h>

#include <vector>

#include "content/ReflowPage.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "tests/content/TextTestSupport.h"

namespace {

using runtime::FixedFromInt;

// Operations: (an exam-) 4, (ple of) 6, (text) 8.
const char kHyphenatedLines[] = "BT /F1 10 Tf 20 700 Td (an exam-) Tj 0 -14 Td (ple of) Tj 0 -14 Td (text) Tj ET";

runtime::TextPosition GlyphAt(uint32_t operation, uint32_t glyph) {
  runtime::TextPosition p;
  p.operation = operation;
  p.glyph = glyph;
  return p;
}

// A one-page document of `content` reflowed into the column of 80 with
// lines 10 high and 3 deep.
struct ReflowedColumn {
  texttest::TextDocument document;
  content::ReflowPage page;

  ReflowedColumn(runtime::LibraryContext* context, texttest::StubTextFonts& fonts, const char* content)
      : document(context, {content}), page(context, document.Document(), 0, &fonts, &fonts, FixedFromInt(80), 0) {
    content::ReflowStyle style;
    style.minLineHeight = FixedFromInt(10);
    style.lineDepth = FixedFromInt(3);
    page.Build(style);
  }
};

runtime::Rect Box(int x0, int y0, int x1, int y1) {
  return {FixedFromInt(x0), FixedFromInt(y0), FixedFromInt(x1), FixedFromInt(y1)};
}

class ReflowRangeRectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.memory.SetBudget(runtime::kNoLimit);
    runtime::SetDefaultContext(&context_);
  }
  void TearDown() override { runtime::SetDefaultContext(nullptr); }

  runtime::LibraryContext context_;
  texttest::StubTextFonts fonts_;
};

TEST_F(ReflowRangeRectsTest, AStretchOfTextIsBoxedWhereItsGlyphsWereReflowed) {
  {
    ReflowedColumn column(&context_, fonts_, kHyphenatedLines);
    const content::ReflowModel& model = column.page.Model();
    // The lines: "an example of " (baseline -10) and "text" (baseline
    // -23).
    struct Case {
      const char* what;
      int32_t page;
      runtime::TextRange range;
      uint32_t capacity;
      std::vector<runtime::Rect> boxes;
    };
    const Case cases[] = {
        {"the word joined across the hyphen: one box, the hyphen not in it", 0, {GlyphAt(4, 3), GlyphAt(6, 2)}, 8,
         {Box(20, -13, 55, 0)}},
        {"across the line break: one box per line", 0, {GlyphAt(6, 4), GlyphAt(8, 3)}, 8,
         {Box(60, -13, 70, 0), Box(5, -26, 25, -13)}},
        {"no room for the second: the last box takes it in", 0, {GlyphAt(6, 4), GlyphAt(8, 3)}, 1,
         {Box(5, -26, 70, 0)}},
        {"only the dropped hyphen", 0, {GlyphAt(4, 7), GlyphAt(4, 7)}, 8, {}},
        {"another page", 1, {GlyphAt(4, 0), GlyphAt(8, 3)}, 8, {}},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      runtime::TextRange range = c.range;
      range.start.page = range.end.page = c.page;
      runtime::Rect out[8];
      const uint32_t count = model.RangeRects(0, range, out, c.capacity);
      ASSERT_EQ(count, c.boxes.size());
      for (uint32_t i = 0; i < count; ++i) {
        EXPECT_EQ(out[i].x0, c.boxes[i].x0) << i;
        EXPECT_EQ(out[i].y0, c.boxes[i].y0) << i;
        EXPECT_EQ(out[i].x1, c.boxes[i].x1) << i;
        EXPECT_EQ(out[i].y1, c.boxes[i].y1) << i;
      }
    }
  }
}

TEST_F(ReflowRangeRectsTest, APointOfTheColumnFindsTheNearestShownGlyph) {
  {
    ReflowedColumn column(&context_, fonts_, kHyphenatedLines);
    const content::ReflowModel& model = column.page.Model();
    // "an exam" from x 5, "ple of" from 40 on the first line (-13 to 0),
    // "text" from 5 on the second (-26 to -13).
    struct Case {
      const char* what;
      int x, y;
      runtime::TextPosition at;
    };
    const Case cases[] = {
        {"on a glyph", 22, -5, GlyphAt(4, 3)},
        {"on the word joined across the dropped hyphen", 42, -5, GlyphAt(6, 0)},
        {"right of a line: its last glyph", 200, -5, GlyphAt(6, 5)},
        {"left of the second line: its first glyph", 0, -20, GlyphAt(8, 0)},
        {"above the column: the first line", 37, 50, GlyphAt(4, 6)},
        {"below the column: the last line", 12, -100, GlyphAt(8, 1)},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      runtime::TextPosition at;
      ASSERT_TRUE(model.PositionAt(3, FixedFromInt(c.x), FixedFromInt(c.y), at));
      runtime::TextPosition expected = c.at;
      expected.page = 3;
      EXPECT_TRUE(runtime::TextPosition::Equals(at, expected))
          << at.operation << " " << at.string << " " << at.glyph;
    }
  }
  {
    ReflowedColumn column(&context_, fonts_, "0 0 10 10 re f");
    runtime::TextPosition at;
    EXPECT_FALSE(column.page.Model().PositionAt(0, 0, 0, at));
  }
}

}  // namespace
