// Reflowing generated pages through the text engine with the stub font
// (glyphs 5 units wide at size 10): joined lines, dropped hyphens, CJK
// joins, gaps, repeats, segments, links, and the long page that must yield
// and can be cancelled.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "content/ReflowPage.h"
#include "content/RunView.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "tests/content/TextTestSupport.h"
#include "tests/support/RaisedCode.h"
#include "tests/runtime/ThreadFixture.h"

namespace {

using runtime::Fixed;
using runtime::FixedFromInt;

content::ReflowStyle TenUnitStyle() {
  content::ReflowStyle style;
  style.minLineHeight = FixedFromInt(10);
  style.lineDepth = FixedFromInt(3);
  return style;
}

// Two segments over a page of two text objects: the first object's text is
// reflowed, and from the sixth operation to the page's end is one picture
// in `box`.
void TextThenPictureSegments(content::ReflowSegment (&segments)[2], const runtime::Rect& box) {
  segments[0].range.end.operation = 5;
  segments[0].range.end.string = 0xFFFFFFFFu;
  segments[1].range.start.operation = 6;
  segments[1].range.end = content::ReflowSegment::WholePage(0).end;
  segments[0].style = segments[1].style = TenUnitStyle();
  segments[1].style.kind = content::ReflowStyle::kPictureKind;
  segments[1].box = box;
}

std::vector<std::string> TextLines(const content::ReflowModel& model) {
  std::vector<std::string> lines;
  for (const content::TextLine& line : model.TextLines()) {
    std::string text;
    for (uint32_t i = line.first; i < line.first + line.count; ++i) texttest::AppendUtf8(text, model.Text()[i]);
    lines.push_back(text);
  }
  return lines;
}

class ReflowPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.memory.SetBudget(runtime::kNoLimit);
    runtime::SetDefaultContext(&context_);
  }
  void TearDown() override { runtime::SetDefaultContext(nullptr); }

  runtime::LibraryContext context_;
  texttest::StubTextFonts fonts_;
};

// Operations: BT 1, Tf 2, Td 3, (an exam-) 4, Td 5, (ple of) 6, Td 7,
// (text) 8, Td 9, CJK 10, Td 11, CJK 12, ET 13.
const char kJoinedLines[] =
    "BT /F1 10 Tf 20 700 Td (an exam-) Tj 0 -14 Td (ple of) Tj 0 -14 Td (text) Tj "
    "0 -14 Td (\x04\x04) Tj 0 -14 Td (\x04\x04) Tj ET";

TEST_F(ReflowPageTest, LinesJoinAcrossHyphensSpacesAndCjk) {
  texttest::TextDocument document(&context_, {kJoinedLines});
  content::ReflowPage page(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(100), 0);
  page.Build(TenUnitStyle());
  const content::ReflowModel& model = page.Model();
  // "example" on one line, one space where "of" and "text" join, none
  // before or between the CJK lines; the space after "of" stays at the
  // end of the first line.
  EXPECT_EQ(TextLines(model), (std::vector<std::string>{"an example of ", "text\u30A2\u30A2\u30A2\u30A2"}));
  // The pen: 10 for the first line, 3 + 10 for the second, 3 + 5 after it.
  ASSERT_EQ(model.TextLines().Size(), 2u);
  EXPECT_EQ(model.TextLines()[0].baseline, FixedFromInt(-10));
  EXPECT_EQ(model.TextLines()[1].baseline, FixedFromInt(-23));
  EXPECT_EQ(model.Height(), FixedFromInt(31));

  // The hyphen (glyph 7 of operation 4) is not placed on a line: its run
  // parks it, as an entry of its own after the seven glyphs before it.
  runtime::FixedPoint point;
  EXPECT_FALSE(model.FindGlyph(4, 7, point));
  ASSERT_TRUE(model.FindGlyph(6, 0, point));
  // "ple" follows "exam" directly: 7 glyphs of 5 units from the margin.
  EXPECT_EQ(point.x, FixedFromInt(5 + 35));
  EXPECT_EQ(point.y, FixedFromInt(-10));
  const content::RunRecord& first = *model.Runs()[0];
  ASSERT_EQ(first.entries.Size(), 2u);
  EXPECT_EQ(first.entries[0].count, 7u);
  Fixed hx = FixedFromInt(20 + 35);
  Fixed hy = FixedFromInt(700);
  runtime::Matrix::TransformPointInPlace(first.placement, hx, hy);
  EXPECT_EQ(hx + first.entries[1].dx, content::ReflowModel::kParked);
  EXPECT_EQ(hy + first.entries[1].dy, content::ReflowModel::kParked);
  // Every placed glyph lies where its run's placement puts it.
  ASSERT_TRUE(model.FindGlyph(8, 0, point));
  EXPECT_EQ(point.x, content::FlowColumn::kMargin);
  EXPECT_EQ(point.y, FixedFromInt(-23));
}

TEST_F(ReflowPageTest, HyphenStaysWhenTheNextLineStartsANewSegment) {
  // "exam-" and "ple" in segments of their own: the hyphen is kept and the
  // new segment starts a new line.
  texttest::TextDocument document(&context_, {"BT /F1 10 Tf 20 700 Td (exam-) Tj 0 -14 Td (ple) Tj ET"});
  content::ReflowSegment segments[2];
  segments[0].range.end.operation = 4;
  segments[0].range.end.string = 0xFFFFFFFFu;
  segments[1].range.start.operation = 5;
  segments[1].range.end.operation = 0xFFFFFFFFu;
  segments[0].style = segments[1].style = TenUnitStyle();
  content::ReflowPage page(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(200), 0);
  page.Build(segments, 2);
  EXPECT_EQ(TextLines(page.Model()), (std::vector<std::string>{"exam-", "ple"}));

  content::ReflowPage whole(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(200), 0);
  whole.Build(TenUnitStyle());
  EXPECT_EQ(TextLines(whole.Model()), (std::vector<std::string>{"example"}));
}

TEST_F(ReflowPageTest, GlyphAdvancesFollowThePageOrKeepAGap) {
  // The distance to the next glyph of the same line becomes the advance,
  // unless it is more than twice the glyph's width: then the width doubles.
  struct Case {
    const char* move;
    int advance;
  };
  for (const Case c : {Case{"7.5", 7}, Case{"15", 10}, Case{"5", 5}}) {
    const std::string content = std::string("BT /F1 10 Tf 20 700 Td (a) Tj ") + c.move + " 0 Td (b) Tj ET";
    texttest::TextDocument document(&context_, {content});
    content::ReflowPage page(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(200), 0);
    page.Build(TenUnitStyle());
    runtime::FixedPoint a;
    runtime::FixedPoint b;
    ASSERT_TRUE(page.Model().FindGlyph(4, 0, a)) << c.move;
    ASSERT_TRUE(page.Model().FindGlyph(6, 0, b)) << c.move;
    EXPECT_EQ(runtime::FixedToIntFloor(b.x - a.x), c.advance) << c.move;
    EXPECT_EQ(b.y, a.y) << c.move;
  }
}

TEST_F(ReflowPageTest, StringsOfAnArrayKeepTheirGlyphIndices) {
  // Operation 4 shows three strings: five glyphs, indexed across the
  // strings. The -1000 moves "cd" 10 units on: "b" keeps a gap of twice
  // its width; "e" follows "d" directly.
  texttest::TextDocument document(&context_, {"BT /F1 10 Tf 20 700 Td [(ab) -1000 (cd) (e)] TJ ET"});
  content::ReflowPage page(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(200), 0);
  page.Build(TenUnitStyle());
  const int expectedX[] = {0, 5, 15, 20, 25};
  for (uint32_t glyph = 0; glyph < 5; ++glyph) {
    runtime::FixedPoint point;
    ASSERT_TRUE(page.Model().FindGlyph(4, glyph, point)) << glyph;
    EXPECT_EQ(point.x, content::FlowColumn::kMargin + FixedFromInt(expectedX[glyph])) << glyph;
    EXPECT_EQ(point.y, FixedFromInt(-10)) << glyph;
  }
  runtime::FixedPoint past;
  EXPECT_FALSE(page.Model().FindGlyph(4, 5, past));
}

TEST_F(ReflowPageTest, RepeatedStringIsReflowedOnce) {
  texttest::TextDocument document(&context_, {"BT /F1 10 Tf 20 700 Td (ab) Tj ET BT /F1 10 Tf 20 700 Td (ab) Tj ET"});
  content::ReflowPage page(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(200), 0);
  page.Build(TenUnitStyle());
  EXPECT_EQ(TextLines(page.Model()), (std::vector<std::string>{"ab"}));
  ASSERT_EQ(page.Model().Runs().Size(), 2u);
  EXPECT_EQ(page.Model().Runs()[1]->repeats, page.Model().Runs()[0]);
}

TEST_F(ReflowPageTest, TextOfAFontWithoutUnicodeIsReflowedNotLost) {
  // A font that reports no Unicode still maps its codes: its strings are
  // reflowed with the rest rather than dropped from the page.
  fonts_.unicode.hasUnicode = false;
  texttest::TextDocument document(&context_, {"BT /F1 10 Tf 20 700 Td (ab) Tj 0 -14 Td (cd) Tj ET"});
  content::ReflowPage page(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(200), 0);
  page.Build(TenUnitStyle());
  EXPECT_EQ(TextLines(page.Model()), (std::vector<std::string>{"ab cd"}));
}

TEST_F(ReflowPageTest, ErrorOfTheContentKeepsTheTextBeforeIt) {
  // The second show names a font the page does not have: the error passes,
  // and the line being filled when it came is still placed.
  texttest::TextDocument document(&context_, {"BT /F1 10 Tf 20 700 Td (ab) Tj /F9 10 Tf (cd) Tj ET"});
  content::ReflowPage page(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(200), 0);
  EXPECT_EQ(testsupport::RaisedCode([&] { page.Build(TenUnitStyle()); }), runtime::kMalformed);
  EXPECT_EQ(TextLines(page.Model()), (std::vector<std::string>{"ab"}));
}

TEST_F(ReflowPageTest, GlyphWithoutAdvanceGetsItsCellSize) {
  // Horizontal scaling 0: start and end coincide; the glyph is as wide as
  // its descent and ascent (2 + 8 at size 10).
  fonts_.font.ascent = runtime::FixedFromFloat(0.8);
  fonts_.font.descent = runtime::FixedFromFloat(-0.2);
  // The next line is CJK, so it joins without a space.
  texttest::TextDocument document(&context_, {"BT /F1 10 Tf 0 Tz 20 700 Td (a) Tj 100 Tz 0 -14 Td (\x04) Tj ET"});
  content::ReflowPage page(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(200), 0);
  page.Build(TenUnitStyle());
  runtime::FixedPoint a;
  runtime::FixedPoint b;
  ASSERT_TRUE(page.Model().FindGlyph(5, 0, a));
  ASSERT_TRUE(page.Model().FindGlyph(8, 0, b));
  EXPECT_NEAR(runtime::FixedToDouble(b.x - a.x), 10.0, 0.01);
}

TEST_F(ReflowPageTest, LinkAreasFollowTheirText) {
  // A link over "link" on the second line of the page; reflowed, its area
  // lies over the same four glyphs on the first line.
  texttest::TextDocument document(
      &context_, {"BT /F1 10 Tf 20 700 Td (see) Tj 0 -14 Td (link) Tj ET"},
      "/Annots [<< /Type /Annot /Subtype /Link /Rect [19 684 41 696] >>]");
  content::ReflowPage page(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(200), 0);
  page.Build(TenUnitStyle());
  EXPECT_EQ(TextLines(page.Model()), (std::vector<std::string>{"see link"}));
  const auto& rects = page.Model().LinkRects();
  ASSERT_EQ(rects.Size(), 4u);
  runtime::FixedPoint l;
  ASSERT_TRUE(page.Model().FindGlyph(6, 0, l));
  for (const content::LinkRect& rect : rects) {
    EXPECT_EQ(rect.link, 0u);
    EXPECT_GE(rect.rect.x0, l.x);
    EXPECT_LE(rect.rect.x1, l.x + FixedFromInt(20));
  }
}

// The kinds of the model's commands, in order: V a run view, S a shift
// command, R a repeat command.
std::string CommandKinds(const content::ReflowModel& model) {
  std::string kinds;
  for (content::ReflowCommand* command : model.Commands()) {
    if (dynamic_cast<content::RunView*>(command) != nullptr) {
      kinds += 'V';
    } else if (dynamic_cast<content::RunShiftCommand*>(command) != nullptr) {
      kinds += 'S';
    } else if (dynamic_cast<content::RepeatCommand*>(command) != nullptr) {
      kinds += 'R';
    }
  }
  return kinds;
}

TEST_F(ReflowPageTest, EveryRunLeavesItsCommandForTheView) {
  // Operations: (ab) 4, the same string again 9, an inline image 12, (cd) 14.
  texttest::TextDocument document(
      &context_, {"BT /F1 10 Tf 20 700 Td (ab) Tj ET BT /F1 10 Tf 20 700 Td (ab) Tj ET "
                  "q 20 0 0 10 50 600 cm BI /W 1 /H 1 /BPC 8 /CS /G ID \x80 EI Q BT /F1 10 Tf 20 500 Td (cd) Tj ET"});
  content::ReflowPage page(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(200), 0);
  page.Build(TenUnitStyle());
  const content::ReflowModel& model = page.Model();
  ASSERT_EQ(CommandKinds(model), "VRSV");
  ASSERT_EQ(model.Runs().Size(), 4u);
  const content::RunRecord& bold = *model.Runs()[1];

  // The repeat takes the placement and entries of the run it repeats,
  // once.
  auto* repeat = dynamic_cast<content::RepeatCommand*>(model.Commands()[1]);
  EXPECT_FALSE(bold.placed);
  repeat->Complete();
  EXPECT_TRUE(repeat->Done());
  EXPECT_TRUE(bold.placed);
  EXPECT_EQ(bold.placement, model.Runs()[0]->placement);
  EXPECT_EQ(bold.start.operation, model.Runs()[0]->start.operation);
  ASSERT_EQ(bold.entries.Size(), model.Runs()[0]->entries.Size());
  EXPECT_EQ(bold.entries[0].count, 2u);

  // The picture's run moves as a whole: its matrix's translation.
  content::RunRecord& picture = *model.Runs()[2];
  const Fixed before = picture.placement.f;
  model.Commands()[2]->Shift(FixedFromInt(-7), 0, 0);
  EXPECT_EQ(picture.placement.f, before - FixedFromInt(7));
  model.Commands()[2]->Remap();
  EXPECT_EQ(picture.placement.f, before - FixedFromInt(7));
}

TEST_F(ReflowPageTest, RunViewShiftsTheEntriesAsked) {
  // Four glyphs with gaps between them: four entries of one run.
  texttest::TextDocument document(&context_, {"BT /F1 10 Tf 20 700 Td [(a) -3000 (b) -3000 (c) -3000 (d)] TJ ET"});
  struct Case {
    uint32_t first;
    uint32_t last;
    std::vector<int> moved;
  };
  const Case cases[] = {
      {0, 0, {1, 1, 1, 1}},  // all of them
      {1, 3, {0, 1, 1, 0}},  // [1, 3)
      {2, 0, {0, 0, 1, 1}},  // from 2 to the end
      {3, 9, {0, 0, 0, 1}},  // past the end stops at the end
      {5, 0, {0, 0, 0, 0}},  // nothing there
  };
  for (const Case& c : cases) {
    content::ReflowPage page(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(200), 0);
    page.Build(TenUnitStyle());
    const content::ReflowModel& model = page.Model();
    ASSERT_EQ(CommandKinds(model), "V");
    const content::RunRecord& run = *model.Runs()[0];
    ASSERT_EQ(run.entries.Size(), 4u);
    std::vector<Fixed> dy;
    for (const content::PlacementEntry& entry : run.entries) dy.push_back(entry.dy);
    model.Commands()[0]->Shift(FixedFromInt(-3), c.first, c.last);
    for (uint32_t i = 0; i < 4; ++i) {
      EXPECT_EQ(run.entries[i].dy, dy[i] - 3 * c.moved[i] * runtime::kFixedOne) << c.first << "," << c.last << " " << i;
    }
  }
}

TEST_F(ReflowPageTest, RunViewRemapsOffsetsIntoTheRunsTextSpace) {
  // Text at 45 degrees, scaled by the square root of 2 (Tm 1 1 -1 1): the
  // reflow turns its baseline level. The wide gap between "a" and "b"
  // closes to a space, so "b" gets an entry of its own with an offset back
  // along the reflowed baseline. Turned back and undone by
  // the text matrix, the offset lies along the run's own baseline,
  // 1/sqrt(2) as long. A segment reading at 45 degrees turns it the same
  // way; level text is left as it is.
  struct Case {
    const char* matrix;
    double direction;  // degrees; negative: none given
    double xFactor;
  };
  const double root = 1.0 / std::sqrt(2.0);
  for (const Case c : {Case{"1 1 -1 1", -1, root}, Case{"1 1 -1 1", 45, root}, Case{"1 0 0 1", -1, 1.0}}) {
    texttest::TextDocument document(
        &context_, {std::string("BT /F1 10 Tf ") + c.matrix + " 100 500 Tm [(a) -2500 (b)] TJ ET"});
    content::ReflowPage page(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(200), 0);
    content::ReflowStyle style = TenUnitStyle();
    if (c.direction >= 0) {
      const double radians = c.direction * std::acos(-1.0) / 180.0;
      style.direction = {runtime::FixedFromFloat(std::cos(radians)), runtime::FixedFromFloat(std::sin(radians))};
    }
    page.Build(style);
    const content::ReflowModel& model = page.Model();
    ASSERT_EQ(CommandKinds(model), "V") << c.matrix;
    auto* view = dynamic_cast<content::RunView*>(model.Commands()[0]);
    const content::RunRecord& run = view->Run();
    ASSERT_EQ(run.entries.Size(), 2u) << c.matrix;
    const double dx = runtime::FixedToDouble(run.entries[1].dx);
    EXPECT_LT(dx, -10.0) << c.matrix;
    EXPECT_NEAR(runtime::FixedToDouble(run.entries[1].dy), 0.0, 0.05) << c.matrix;
    view->Remap();
    EXPECT_NEAR(runtime::FixedToDouble(run.entries[1].dx), dx * c.xFactor, 0.05) << c.matrix;
    EXPECT_NEAR(runtime::FixedToDouble(run.entries[1].dy), 0.0, 0.05) << c.matrix;
  }
}

TEST_F(ReflowPageTest, PictureSegmentTakesALineOfItsOwnScaledToTheColumn) {
  // A line of text, then a segment laid out as a picture 300 by 90 in a
  // 200-unit column: scaled by 2/3 from the left margin, below the line
  // (10 + 3 + 5), with a line entry and the link over its left half. Its
  // own text is not reflowed, and the segment runs to the page's end.
  texttest::TextDocument document(
      &context_, {"BT /F1 10 Tf 20 700 Td (ab) Tj ET BT /F1 10 Tf 20 200 Td (cd) Tj ET"},
      "/Annots [<< /Type /Annot /Subtype /Link /Rect [0 0 150 45] >>]");
  content::ReflowSegment segments[2];
  TextThenPictureSegments(segments, runtime::Rect{0, 0, FixedFromInt(300), FixedFromInt(90)});
  content::ReflowPage page(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(210),
                           FixedFromInt(400));
  page.Build(segments, 2);
  const content::ReflowModel& model = page.Model();
  EXPECT_EQ(TextLines(model), (std::vector<std::string>{"ab"}));
  ASSERT_EQ(CommandKinds(model), "VS");
  ASSERT_EQ(model.Runs().Size(), 2u);
  const content::RunRecord& run = *model.Runs()[1];
  EXPECT_EQ(run.end.operation, 0xFFFFFFFFu);
  const runtime::Rect placed = runtime::Matrix::TransformRectBounds(segments[1].box, run.placement);
  EXPECT_NEAR(runtime::FixedToDouble(placed.x0), 5.0, 0.01);
  EXPECT_NEAR(runtime::FixedToDouble(placed.x1), 205.0, 0.01);
  EXPECT_NEAR(runtime::FixedToDouble(placed.y1), -18.0, 0.01);
  EXPECT_NEAR(runtime::FixedToDouble(placed.y0), -78.0, 0.01);
  EXPECT_NEAR(runtime::FixedToDouble(model.Height()), 83.0, 0.01);
  ASSERT_EQ(model.Lines().Size(), 2u);
  EXPECT_EQ(model.Lines()[1].run, 1u);
  EXPECT_NEAR(runtime::FixedToDouble(model.Lines()[1].top), -18.0, 0.01);
  EXPECT_NEAR(runtime::FixedToDouble(model.Lines()[1].height), 60.0, 0.01);
  ASSERT_EQ(model.LinkRects().Size(), 1u);
  const content::LinkRect& link = model.LinkRects()[0];
  EXPECT_EQ(link.line, 1u);
  EXPECT_NEAR(runtime::FixedToDouble(link.rect.x0), 5.0, 0.01);
  EXPECT_NEAR(runtime::FixedToDouble(link.rect.x1), 105.0, 0.01);
  EXPECT_NEAR(runtime::FixedToDouble(link.rect.y0), -78.0, 0.01);
  EXPECT_NEAR(runtime::FixedToDouble(link.rect.y1), -48.0, 0.01);
}

TEST_F(ReflowPageTest, PictureSegmentBoxesFromHostileInputArePlacedOrLeftOut) {
  // Empty and inverted boxes make no picture; a box as large as numbers go
  // is scaled into the column; the text before keeps its line.
  struct Case {
    const char* what;
    runtime::Rect box;
    bool picture;
  };
  const Fixed big = 0x7FFF0000;
  const Case cases[] = {
      {"empty", runtime::Rect{0, 0, 0, 0}, false},
      {"inverted", runtime::Rect{FixedFromInt(300), FixedFromInt(90), 0, 0}, false},
      {"huge", runtime::Rect{-big, -big, big, big}, true},
  };
  texttest::TextDocument document(&context_, {"BT /F1 10 Tf 20 700 Td (ab) Tj ET BT /F1 10 Tf 20 200 Td (cd) Tj ET"});
  for (const Case& c : cases) {
    content::ReflowSegment segments[2];
    TextThenPictureSegments(segments, c.box);
    content::ReflowPage page(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(210),
                             FixedFromInt(400));
    page.Build(segments, 2);
    EXPECT_EQ(TextLines(page.Model()), (std::vector<std::string>{"ab"})) << c.what;
    EXPECT_EQ(CommandKinds(page.Model()), c.picture ? "VS" : "V") << c.what;
    EXPECT_GT(page.Model().Height(), 0) << c.what;
  }
}

TEST_F(ReflowPageTest, ImageAmongTextIsLaidOutInline) {
  // A 20 by 10 image between two words: it sits on their line, its
  // lower-left corner on the baseline after "ab", with a line entry for
  // the line it starts when the column is narrow enough to break there.
  texttest::TextDocument document(
      &context_, {"BT /F1 10 Tf 20 700 Td (ab) Tj ET q 20 0 0 10 35 700 cm BI /W 1 /H 1 /BPC 8 /CS /G ID \x80 EI Q "
                  "BT /F1 10 Tf 60 700 Td (cd) Tj ET"});
  struct Case {
    int view;
    int pictureX;
    int pictureY;
  };
  // 60 wide: "ab" (10) and the picture (20) fit; "cd" goes on. 30 wide:
  // the picture starts the second line.
  for (const Case c : {Case{60, 15, -10}, Case{30, 5, -23}}) {
    content::ReflowPage page(&context_, document.Document(), 0, &fonts_, &fonts_, FixedFromInt(c.view),
                             FixedFromInt(400));
    page.Build(TenUnitStyle());
    const content::ReflowModel& model = page.Model();
    ASSERT_EQ(CommandKinds(model), "VSV") << c.view;
    const content::RunRecord& run = *model.Runs()[1];
    const runtime::Rect placed =
        runtime::Matrix::TransformRectBounds(runtime::Rect{FixedFromInt(35), FixedFromInt(700), FixedFromInt(55),
                                                           FixedFromInt(710)},
                                             run.placement);
    EXPECT_EQ(placed.x0, FixedFromInt(c.pictureX)) << c.view;
    EXPECT_EQ(placed.y0, FixedFromInt(c.pictureY)) << c.view;
    EXPECT_EQ(placed.x1 - placed.x0, FixedFromInt(20)) << c.view;
    bool lineOfPicture = false;
    for (const content::LineEntry& line : model.Lines()) lineOfPicture = lineOfPicture || line.run == 1;
    EXPECT_EQ(lineOfPicture, c.view == 30) << c.view;
  }
}

class ReflowPageThreadTest : public runtime::ThreadFixture {
 protected:
  ReflowPageThreadTest() { context.memory.SetBudget(runtime::kNoLimit); }

  // 10,000 words of five characters, ten words a line, each line's first
  // word its number (lines that start alike, this close, would be taken
  // for one line drawn twice).
  static std::string LongPage() {
    std::string content = "BT /F1 10 Tf 20 780 Td ";
    for (int line = 0; line < 1000; ++line) {
      const std::string number = std::to_string(10000 + line);
      content += "(" + number + " bravo charl delta echoe foxtr golfa hotel india julie) Tj 0 -0.7 Td ";
    }
    return content + "ET";
  }

  texttest::StubTextFonts fonts;
};

TEST_F(ReflowPageThreadTest, GlyphsTestedAgainstManyLinksYieldOnTheWay) {
  // Two hundred glyphs under 20,000 links (none over the text): a few
  // operations, but four million tests of a glyph against a link. The
  // slices are counted once the links have been read.
  std::string annots = "/Annots [";
  for (int i = 0; i < 20000; ++i) annots += "<< /Subtype /Link /Rect [0 0 1 1] >> ";
  annots += "]";
  texttest::TextDocument document(&context, {"BT /F1 10 Tf 20 700 Td (" + std::string(200, 'a') + ") Tj ET"}, annots);
  size_t placed = 0;
  uint32_t links = 0;
  bool building = false;
  bool done = false;
  Start([&](runtime::LibraryContext* ctx) {
    content::ReflowPage page(ctx, document.Document(), 0, &fonts, &fonts, FixedFromInt(240), 0);
    links = page.Links() != nullptr ? page.Links()->Count() : 0;
    building = true;
    page.Build(content::ReflowPage::PageStyle(FixedFromInt(10)));
    placed = page.Model().Glyphs().Size();
    done = true;
  });
  int slices = 0;
  scheduler.RunUntil([&] {
    if (building) ++slices;
    return done;
  });
  EXPECT_EQ(links, 20000u);
  EXPECT_EQ(placed, 200u);
  EXPECT_GT(slices, 2);
}

TEST_F(ReflowPageThreadTest, TenThousandWordsYieldOnTheWayAndCanBeCancelled) {
  texttest::TextDocument document(&context, {LongPage()});
  size_t words = 0;
  bool done = false;
  Start([&](runtime::LibraryContext* ctx) {
    content::ReflowPage page(ctx, document.Document(), 0, &fonts, &fonts, FixedFromInt(240), 0);
    page.Build(content::ReflowPage::PageStyle(FixedFromInt(10)));
    for (const content::TextLine& line : page.Model().TextLines()) {
      bool inWord = false;
      for (uint32_t i = line.first; i < line.first + line.count; ++i) {
        const bool letter = page.Model().Text()[i] != 0x20;
        if (letter && !inWord) ++words;
        inWord = letter;
      }
    }
    done = true;
  });
  // The stop test runs each time the thread gives way.
  int slices = 0;
  scheduler.RunUntil([&] {
    ++slices;
    return done;
  });
  EXPECT_EQ(words, 10000u);
  EXPECT_GT(slices, 2);

  const runtime::ErrorRecord seen = CancelPartWay([&](runtime::LibraryContext* ctx, const std::function<void()>& ready) {
    content::ReflowPage page(ctx, document.Document(), 0, &fonts, &fonts, FixedFromInt(240), 0);
    ready();
    page.Build(content::ReflowPage::PageStyle(FixedFromInt(10)));
  });
  EXPECT_TRUE(seen.IsRuntime(runtime::kCancelled));
}

}  // namespace
