// The flow column's line breaking and placing, over elements made for the
// test: where lines break, how the pen moves, how pictures are scaled, and
// that no element is lost or looped on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/FlowColumn.h"
#include "content/GlyphElement.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"

namespace {

using runtime::Fixed;
using runtime::FixedFromInt;

struct Placed {
  std::string name;
  Fixed x;
  Fixed y;
};

// An element with the breaking properties of character `c` (as a glyph of
// that character has them), or a space when `space` is set.
class TestElement final : public content::FlowElement {
 public:
  TestElement(std::vector<Placed>* log, std::string name, uint32_t c, Fixed width, bool space = false)
      : log_(log), name_(std::move(name)), width_(width), space_(space) {
    content::GlyphElement glyph;
    glyph.Classify(c);
    ink_ = !space && glyph.nonBlank;
    cjk_ = glyph.cjk;
    breaking_ = space || glyph.breaking;
    mayStart_ = !space && glyph.mayStartLine;
    mayEnd_ = glyph.mayEndLine;
  }
  bool StartsSegment() const override { return false; }
  bool StartsBlock() const override { return false; }
  bool IsInk() const override { return ink_; }
  bool IsDash() const override { return false; }
  bool IsCjk() const override { return cjk_; }
  bool IsBreaking() const override { return breaking_; }
  bool MayStartLine() const override { return mayStart_; }
  bool MayEndLine() const override { return mayEnd_; }
  bool IsReversed() const override { return false; }
  void MarkLineStart() override {}
  Fixed Width() const override { return width_; }
  bool FollowedByGap() const override { return false; }
  Fixed BaselineOffset() const override { return 0; }
  Fixed Height() const override { return FixedFromInt(10); }
  Fixed Depth() const override { return FixedFromInt(3); }
  void MakeBreak() override {
    width_ = 0;
    ink_ = false;
    breaking_ = false;
  }
  void Place(Fixed x, Fixed y, bool) override { log_->push_back({name_, x, y}); }

 private:
  std::vector<Placed>* log_;
  std::string name_;
  Fixed width_;
  bool space_;
  bool ink_ = true;
  bool cjk_ = false;
  bool breaking_ = false;
  bool mayStart_ = true;
  bool mayEnd_ = true;
};

class TestPicture final : public content::FlowPicture {
 public:
  explicit TestPicture(runtime::Rect box) : box_(box) {}
  runtime::Rect Box() const override { return box_; }
  void Place(Fixed x, Fixed y, Fixed scale, bool) override {
    placedX = x;
    placedY = y;
    placedScale = scale;
  }
  Fixed placedX = -1;
  Fixed placedY = -1;
  Fixed placedScale = -1;

 private:
  runtime::Rect box_;
};

class FlowColumnTest : public ::testing::Test {
 protected:
  FlowColumnTest() { context_.memory.SetBudget(runtime::kNoLimit); }

  // Lays out `text` (one element per character, ' ' a space element) in a
  // column `view` wide, each character `width` wide; the placed lines as
  // strings, a line per pen position.
  std::vector<std::string> Lines(const std::u32string& text, int view, Fixed width) {
    runtime::ArenaAllocator arena(&context_, 4096, 2048);
    content::FlowColumn column(arena, nullptr, FixedFromInt(view), 0);
    std::vector<TestElement> elements;
    elements.reserve(text.size());
    for (char32_t c : text) {
      std::string name;
      name += c < 0x80 ? static_cast<char>(c) : '#';
      elements.emplace_back(&log_, name, c, width, c == U' ');
    }
    for (TestElement& element : elements) column.AddElement(element);
    column.Finish();
    std::vector<std::string> lines;
    Fixed lastY = 1;
    for (const Placed& placed : log_) {
      if (placed.y != lastY) lines.emplace_back();
      lastY = placed.y;
      lines.back() += placed.name;
    }
    return lines;
  }

  runtime::LibraryContext context_;
  std::vector<Placed> log_;
};

TEST_F(FlowColumnTest, LinesBreakWhereTheirCharactersAllow) {
  struct Case {
    const char* what;
    std::u32string text;
    int view;
    std::vector<std::string> lines;
  };
  const Fixed five = FixedFromInt(5);
  const Case cases[] = {
      // 60 wide, 50 available: "ABC DEF" needs 35; "ABC DEF GHIJ" does not.
      {"break after the space", U"ABC DEF GHIJ", 60, {"ABC DEF ", "GHIJ"}},
      {"a word longer than the column", U"ABCDEFGHIJKLMNOP", 40, {"ABCDEF", "GHIJKL", "MNOP"}},
      {"long word after a short one", U"AB CDEFGHIJKLMNOP", 40, {"AB ", "CDEFGH", "IJKLMN", "OP"}},
      // U+300C may not end a line: it stays with the ideograph after it.
      {"opening bracket", U"\u4E00\u4E00\u4E00\u4E00\u300C\u4E00", 35, {"####", "##"}},
      // U+3002 may not start a line: the ideograph before it goes along.
      {"closing full stop", U"\u4E00\u4E00\u4E00\u4E00\u4E00\u3002", 35, {"####", "##"}},
      // U+3009 never starts a line, U+3008 never ends one.
      {"angle brackets", U"\u4E00\u4E00\u4E00\u3008\u4E00\u3009", 30, {"###", "###"}},
      {"CJK breaks anywhere", U"\u4E00\u4E00\u4E00\u4E00\u4E00\u4E00", 30, {"####", "##"}},
  };
  for (const Case& c : cases) {
    log_.clear();
    EXPECT_EQ(Lines(c.text, c.view, five), c.lines) << c.what;
  }
}

TEST_F(FlowColumnTest, PenMovesByLineHeightAndPendingDepth) {
  // Two lines of 10-unit text with depth 3: 10, then 3 + 10, then 3 + 5
  // after the last line.
  log_.clear();
  EXPECT_EQ(Lines(U"AAAA BBBB", 50, FixedFromInt(5)), (std::vector<std::string>{"AAAA ", "BBBB"}));
  ASSERT_EQ(log_.size(), 9u);
  EXPECT_EQ(log_.front().y, FixedFromInt(-10));
  EXPECT_EQ(log_.back().y, FixedFromInt(-23));
  EXPECT_EQ(log_.front().x, content::FlowColumn::kMargin);
  EXPECT_EQ(log_[1].x, content::FlowColumn::kMargin + FixedFromInt(5));

  runtime::ArenaAllocator arena(&context_, 4096, 2048);
  content::FlowColumn column(arena, nullptr, FixedFromInt(50), 0);
  std::vector<Placed> log;
  TestElement a(&log, "a", 'a', FixedFromInt(5));
  TestElement b(&log, "b", 'b', FixedFromInt(5));
  column.AddElement(a);
  column.Finish();
  EXPECT_EQ(column.PenY(), FixedFromInt(-18));
  column.AddElement(b);
  column.Finish();
  EXPECT_EQ(column.PenY(), FixedFromInt(-18 - 18));
}

TEST_F(FlowColumnTest, ZeroWidthAndOverwideElementsNeitherLoopNorVanish) {
  // A word wider than the column gets a line of its own; the zero-width
  // break after it (a dropped hyphen) is placed once, where the pen
  // stands, and the pen stops at the right edge.
  runtime::ArenaAllocator arena(&context_, 4096, 2048);
  content::FlowColumn column(arena, nullptr, FixedFromInt(30), 0);
  std::vector<Placed> log;
  std::vector<TestElement> elements;
  elements.emplace_back(&log, "w", 'w', FixedFromInt(100));
  elements.emplace_back(&log, "z", '-', FixedFromInt(5));
  elements.back().MakeBreak();
  elements.emplace_back(&log, "x", 'x', FixedFromInt(5));
  for (TestElement& element : elements) column.AddElement(element);
  column.Finish();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].name + log[1].name + log[2].name, "wzx");
  EXPECT_EQ(log[0].y, log[1].y);
  EXPECT_LT(log[2].y, log[1].y);
  EXPECT_EQ(log[1].x, content::FlowColumn::kMargin + FixedFromInt(100));

  // Inside the column every element moves the pen once, by its width: the
  // break adds nothing and the next glyph follows at once.
  log.clear();
  content::FlowColumn narrow(arena, nullptr, FixedFromInt(30), 0);
  std::vector<TestElement> joined;
  joined.emplace_back(&log, "a", 'a', FixedFromInt(5));
  joined.emplace_back(&log, "z", '-', FixedFromInt(5));
  joined.back().MakeBreak();
  joined.emplace_back(&log, "b", 'b', FixedFromInt(5));
  for (TestElement& element : joined) narrow.AddElement(element);
  narrow.Finish();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1].x, content::FlowColumn::kMargin + FixedFromInt(5));
  EXPECT_EQ(log[2].x, content::FlowColumn::kMargin + FixedFromInt(5));
  EXPECT_EQ(log[2].y, log[0].y);
}

TEST_F(FlowColumnTest, SpaceWidthIsTwoThirdsOfTheInnerMean) {
  runtime::ArenaAllocator arena(&context_, 4096, 2048);
  content::FlowColumn column(arena, nullptr, FixedFromInt(500), 0);
  std::vector<Placed> log;
  EXPECT_EQ(column.SpaceWidth(), 0);
  TestElement a(&log, "a", 'a', FixedFromInt(4));
  TestElement b(&log, "b", 'b', FixedFromInt(6));
  TestElement c(&log, "c", 'c', FixedFromInt(9));
  column.AddElement(a);
  EXPECT_EQ(column.SpaceWidth(), FixedFromInt(4));
  column.AddElement(b);
  column.AddElement(c);
  EXPECT_EQ(column.SpaceWidth(), runtime::FixedMul(43909, FixedFromInt(6)));
}

TEST_F(FlowColumnTest, PicturesAreScaledToTheColumnOrCentred) {
  struct Case {
    const char* what;
    int width;
    int height;
    int maxHeight;
    Fixed scale;
    Fixed x;
  };
  const Fixed margin = content::FlowColumn::kMargin;
  // A 210 view gives a 200-unit column.
  const Case cases[] = {
      {"wider than the column", 300, 90, 0, runtime::FixedDiv(FixedFromInt(200), FixedFromInt(300)), margin},
      {"narrower: centred", 100, 50, 0, runtime::kFixedOne, margin + FixedFromInt(50)},
      {"taller than the view", 100, 400, 200, runtime::kFixedHalf, margin + FixedFromInt(75)},
  };
  for (const Case& c : cases) {
    runtime::ArenaAllocator arena(&context_, 4096, 2048);
    content::FlowColumn column(arena, nullptr, FixedFromInt(210), FixedFromInt(c.maxHeight));
    TestPicture picture(runtime::Rect{0, 0, FixedFromInt(c.width), FixedFromInt(c.height)});
    column.AddPicture(picture);
    EXPECT_EQ(picture.placedScale, c.scale) << c.what;
    EXPECT_EQ(picture.placedX, c.x) << c.what;
    EXPECT_EQ(picture.placedY, -runtime::FixedMul(c.scale, FixedFromInt(c.height))) << c.what;
    EXPECT_EQ(column.PenY(), picture.placedY - margin) << c.what;
  }
}

}  // namespace
