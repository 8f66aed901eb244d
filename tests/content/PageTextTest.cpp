// Selection drivers: ranges collected from a selection on screen and the
// outline of a selected range, over generated pages and the stub font.
#include <gtest/gtest.h>

#include <string>

#include "content/PageText.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "tests/content/TextTestSupport.h"

namespace {

using content::PageText;
using content::SelectionQuery;
using runtime::FixedFromInt;

// Each page: "aaaa bbbb" at 72,700, glyphs 5 units wide, in operation 4.
const char kPage[] = "BT /F1 10 Tf 72 700 Td (aaaa bbbb) Tj ET";

runtime::Rect RectOf(int x0, int y0, int x1, int y1) {
  return {FixedFromInt(x0), FixedFromInt(y0), FixedFromInt(x1), FixedFromInt(y1)};
}

std::string Describe(const runtime::Optional<runtime::TextRange>& range) {
  if (!range.HasValue()) return "none";
  auto at = [](const runtime::TextPosition& p) {
    return std::to_string(p.page) + ":" + std::to_string(p.glyph) + (p.after ? "+" : "");
  };
  return at(range->start) + "-" + at(range->end);
}

class PageTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.memory.SetBudget(runtime::kNoLimit);
    runtime::SetDefaultContext(&context_);
  }
  void TearDown() override { runtime::SetDefaultContext(nullptr); }

  std::string Collect(const SelectionQuery& query, int32_t mode) {
    return Describe(PageText::CollectPages(&context_, document_.Document(), &fonts_, &fonts_, query, mode));
  }

  runtime::LibraryContext context_;
  texttest::StubTextFonts fonts_;
  texttest::TextDocument document_{&context_, {kPage, kPage}};
};

TEST_F(PageTextTest, SelectionsGiveRangesInPageOrder) {
  struct Case {
    const char* name;
    SelectionQuery query;
    int32_t mode;
    std::string range;
  };
  SelectionQuery bees;  // a rectangle over "bbbb" on page 0
  bees.startRect = bees.endRect = RectOf(98, 698, 116, 704);
  SelectionQuery inside = bees;  // whole cells only, from a taller rectangle
  inside.startMode = 1;
  inside.startRect = inside.endRect = RectOf(98, 690, 116, 710);
  SelectionQuery across = bees;  // from the bees of page 0 into page 1
  across.endPage = 1;
  across.endRect = RectOf(70, 698, 80, 704);
  SelectionQuery backwards;  // pen down on page 1, pen up on page 0
  backwards.endPage = 1;
  backwards.startRect = RectOf(0, 0, 612, 792);
  backwards.endRect = RectOf(0, 0, 612, 792);
  backwards.pointAPage = 1;
  backwards.pointA = {FixedFromInt(100), FixedFromInt(702)};
  backwards.pointBPage = 0;
  backwards.pointB = {FixedFromInt(75), FixedFromInt(702)};
  SelectionQuery lonely;  // one point, and a rectangle without text
  lonely.startRect = lonely.endRect = RectOf(300, 300, 310, 310);
  lonely.pointAPage = 0;
  lonely.pointA = {FixedFromInt(75), FixedFromInt(702)};
  SelectionQuery tap = backwards;  // both points on page 0, no rectangle
  tap.endPage = 0;
  tap.startRect = tap.endRect = runtime::Rect{};
  tap.pointAPage = 0;
  const Case cases[] = {
      {"a rectangle over one word", bees, 0, "0:5-0:8"},
      {"inside mode takes only whole cells", inside, 1, "0:6-0:7"},
      {"from one page into the next", across, 0, "0:5-1:1"},
      {"points given in reverse order", backwards, 2, "0:0-1:5+"},
      {"one nearest character and no hit", lonely, 2, "none"},
      {"a tap without a rectangle is a caret", tap, 2, "0:0-0:0"},
      {"an unknown mode", bees, 3, "none"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Collect(c.query, c.mode), c.range);
  }
}

TEST_F(PageTextTest, OutlinesCoverTheRangeOnTheirPageOnly) {
  runtime::ArenaAllocator arena(&context_, 4096, 1024);
  content::TextOutline outline(arena, 8);
  runtime::TextRange range;
  range.start.page = range.end.page = 0;
  range.start.operation = range.end.operation = 4;
  range.start.glyph = 5;
  range.end.glyph = 8;
  range.end.after = 1;
  PageText::ExtractPage(&context_, document_.Document(), &fonts_, &fonts_, 1, range, outline);
  EXPECT_EQ(outline.Size(), 0u);
  PageText::ExtractPage(&context_, document_.Document(), &fonts_, &fonts_, 0, range, outline);
  // One closed quadrilateral from x 97 to 117, then the caret edge at 117.
  ASSERT_EQ(outline.Size(), 7u);
  const int expectedX[] = {97, 117, 117, 97, 97, 117, 117};
  const uint8_t expectedKind[] = {0, 1, 1, 1, 3, 0, 1};
  for (uint32_t i = 0; i < outline.Size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(outline[i].X() >> 16, expectedX[i]);
    EXPECT_EQ(outline[i].PointKind(), expectedKind[i]);
  }
}

}  // namespace
