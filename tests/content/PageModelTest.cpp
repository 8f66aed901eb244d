// The page model over generated pages and the stub font: lines, blocks,
// the text rotation and the page limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/PageModel.h"
#include "content/ReadingOrder.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "tests/content/TextTestSupport.h"

namespace {

using content::PageModel;

class PageModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.memory.SetBudget(runtime::kNoLimit);
    runtime::SetDefaultContext(&context_);
  }
  void TearDown() override { runtime::SetDefaultContext(nullptr); }

  // The page's blocks, each a list of its lines' text.
  static std::vector<std::vector<std::string>> Blocks(const PageModel& model) {
    std::vector<std::vector<std::string>> blocks;
    for (const content::TextBlockRecord& block : model.Blocks()) {
      blocks.emplace_back();
      for (uint32_t i = block.firstLine; i < block.firstLine + block.lineCount; ++i) {
        const content::TextLineRecord& line = model.Lines()[i];
        std::string text;
        for (uint32_t k = line.firstChar; k < line.firstChar + line.charCount; ++k) {
          texttest::AppendUtf8(text, model.Chars()[k]);
        }
        blocks.back().push_back(text);
      }
    }
    return blocks;
  }

  runtime::LibraryContext context_;
  texttest::StubTextFonts fonts_;
};

// Two paragraphs: three lines 14 units apart, 40 units of space, two more.
const char kTwoParagraphs[] =
    "BT /F1 10 Tf 72 700 Td (aaaa bbbb cccc dddd) Tj 0 -14 Td (eeee ffff gggg hhhh) Tj 0 -14 Td (iiii jjjj.) Tj "
    "0 -40 Td (kkkk llll mmmm nnnn) Tj 0 -14 Td (oooo) Tj 30 0 Td (pppp) Tj ET";

TEST_F(PageModelTest, TwoPagesOfTwoParagraphsGiveTwoBlocksAPage) {
  texttest::TextDocument document(&context_, {kTwoParagraphs, kTwoParagraphs});
  const std::vector<std::vector<std::string>> expected = {
      {"aaaa bbbb cccc dddd", "eeee ffff gggg hhhh", "iiii jjjj."}, {"kkkk llll mmmm nnnn", "oooo pppp"}};
  for (int32_t page = 0; page < 2; ++page) {
    PageModel model(&context_);
    model.Build(document.Document(), page, &fonts_, &fonts_);
    EXPECT_EQ(Blocks(model), expected) << page;
    EXPECT_TRUE(model.HasText());
    // BT 1, Tf 2, Td 3, Tj 4.
    EXPECT_EQ(model.FirstTextOperation(), 4u);
  }
}

TEST_F(PageModelTest, BlocksBreakOnSizeListMarksAndGaps) {
  struct Case {
    const char* name;
    std::string content;
    std::vector<std::vector<std::string>> blocks;
  };
  const Case cases[] = {
      {"a heading in larger type", "BT /F1 20 Tf 72 700 Td (Title) Tj /F1 10 Tf 0 -24 Td (body text here) Tj ET",
       {{"Title"}, {"body text here"}}},
      {"a list mark starts a block", "BT /F1 10 Tf 72 700 Td (first item) Tj 0 -14 Td (* second) Tj ET",
       {{"first item"}, {"* second"}}},
      {"a wide gap on a line ends the line",
       "BT /F1 10 Tf 72 700 Td (left) Tj 100 0 Td (right) Tj ET", {{"left"}, {"right"}}},
      {"a parameter set's font", "BT /G1 gs 72 700 Td (set by gs) Tj ET", {{"set by gs"}}},
      {"blank strings at a line's end add nothing", "BT /F1 10 Tf 72 700 Td (a) Tj (   ) Tj ( ) Tj ET", {{"a"}}},
      {"a blank string between words is one space", "BT /F1 10 Tf 72 700 Td (a) Tj ( ) Tj (  ) Tj (b) Tj ET",
       {{"a b"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    texttest::TextDocument document(&context_, {c.content});
    PageModel model(&context_);
    model.Build(document.Document(), 0, &fonts_, &fonts_);
    EXPECT_EQ(Blocks(model), c.blocks);
  }
}

TEST_F(PageModelTest, WordsPartAtGapsWiderThanATenthOfTheTextSize) {
  // The stub's glyphs are half an em wide, so the same-word test of the
  // line state lets gaps up to a fifth of an em pass; the page's text
  // still parts words at gaps above a tenth of the text's height, as a
  // space narrowed by the layout leaves, while kerning steps join.
  struct Case {
    const char* name;
    std::string content;
    std::string line;
  };
  const Case cases[] = {
      {"a kerning step inside a word", "BT /F1 10 Tf 72 700 Td [(ab) -50 (cd)] TJ ET", "abcd"},
      {"a narrow space between words", "BT /F1 10 Tf 72 700 Td [(ab) -180 (cd)] TJ ET", "ab cd"},
      {"a narrow space between shows", "BT /F1 10 Tf 72 700 Td (ab) Tj 11.8 0 Td (cd) Tj ET", "ab cd"},
      {"text set close", "BT /F1 10 Tf 72 700 Td (ab) Tj 10.3 0 Td (cd) Tj ET", "abcd"},
      {"an ordinary space", "BT /F1 10 Tf 72 700 Td (ab) Tj 14 0 Td (cd) Tj ET", "ab cd"},
      // Letter spacing opens a gap inside one string; the array pulls the
      // letters after it back.
      {"letter spacing inside a string", "BT /F1 10 Tf 2 Tc 72 700 Td [(As) 200 (e) 200 (c)] TJ ET", "A sec"},
      {"letter spacing under a tenth of the size", "BT /F1 10 Tf 0.8 Tc 72 700 Td (abc) Tj ET", "abc"},
      {"a space that takes no room", "BT /F1 10 Tf -5 Tw 72 700 Td (ab cd) Tj ET", "abcd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    texttest::TextDocument document(&context_, {c.content});
    PageModel model(&context_);
    model.Build(document.Document(), 0, &fonts_, &fonts_);
    EXPECT_EQ(Blocks(model), (std::vector<std::vector<std::string>>{{c.line}}));
  }
}

TEST_F(PageModelTest, LinkTextAcrossAWideGapStaysOnItsLine) {
  // "here" starts 80 units after "see" ends: a wide gap, which ends the
  // line unless the string lines up with a link rectangle around it.
  const std::string content = "BT /F1 10 Tf 72 700 Td (see) Tj 115 0 Td (here) Tj ET";
  struct Case {
    const char* name;
    std::string annots;
    std::vector<std::vector<std::string>> blocks;
    uint32_t hits;
  };
  const Case cases[] = {
      {"no annotations", "", {{"see"}, {"here"}}, 0},
      {"a link around the text", "/Annots [<< /Subtype /Link /Rect [185 696 209 711] >>]", {{"see here"}}, 1},
      // Broken entries are passed over, and so is an annotation of another
      // kind; the link after them still counts.
      {"a link after broken and other entries",
       "/Annots [5 << /Subtype /Link >> << /Subtype 7 /Rect [0 0 9 9] >> "
       "<< /Subtype /Text /Rect [185 696 209 711] >> << /Subtype /Link /Rect [209 711 185 696] >>]",
       {{"see here"}},
       1},
      {"a link far wider than the text", "/Annots [<< /Subtype /Link /Rect [185 696 400 711] >>]",
       {{"see"}, {"here"}},
       1},
      {"a link on another line", "/Annots [<< /Subtype /Link /Rect [185 600 209 620] >>]", {{"see"}, {"here"}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    texttest::TextDocument document(&context_, {content}, c.annots);
    PageModel model(&context_);
    model.Build(document.Document(), 0, &fonts_, &fonts_);
    EXPECT_EQ(Blocks(model), c.blocks);
    ASSERT_EQ(model.LinkHits().Size(), c.hits);
    if (c.hits != 0) {
      // The link's box, met by the second show (BT 1, Tf 2, Td 3, Tj 4,
      // Td 5, Tj 6).
      EXPECT_EQ(model.LinkHits()[0].box, 0u);
      EXPECT_EQ(model.LinkHits()[0].operation, 6u);
    }
  }
}

TEST_F(PageModelTest, TextRotationFollowsTheTextDirection) {
  struct Case {
    const char* name;
    std::string content;
    int32_t rotation;  // -1: unset
  };
  const Case cases[] = {
      {"left to right", "BT /F1 10 Tf 72 700 Td (abc) Tj ET", 0},
      {"downwards", "BT /F1 10 Tf 0 -1 1 0 300 700 Tm (abc) Tj ET", 270},
      {"upwards", "BT /F1 10 Tf 0 1 -1 0 300 300 Tm (abc) Tj ET", 90},
      {"mostly leftwards", "BT /F1 10 Tf -0.83 0.55 -0.55 -0.83 300 300 Tm (abc) Tj ET", 180},
      // Without text no direction: the rotation stays unset (it was stored
      // as 270 before), so that the viewer's fallback applies.
      {"no text", "0 0 10 10 re f", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    texttest::TextDocument document(&context_, {c.content});
    PageModel model(&context_);
    model.Build(document.Document(), 0, &fonts_, &fonts_);
    model.SetTextRotation();
    EXPECT_EQ(model.TextRotation().HasValue() ? *model.TextRotation() : -1, c.rotation);
  }
}

TEST_F(PageModelTest, APageBeyondTheBlockLimitEndsItsText) {
  // 70 lines, each a block of its own: they zigzag, so no edge lines up.
  std::string content = "BT /F1 10 Tf 72 780 Td ";
  for (int i = 0; i < 70; ++i) content += std::string("(x) Tj ") + (i % 2 == 0 ? "300" : "-300") + " -10 Td ";
  content += "ET";
  texttest::TextDocument document(&context_, {content});
  PageModel limited(&context_);
  limited.Build(document.Document(), 0, &fonts_, &fonts_);
  // The limit is seen at the string after the 61st block was started; the
  // line gathered before it is laid out, and the page's text ends there.
  EXPECT_EQ(limited.Blocks().Size(), PageModel::kMaxBlocks + 2);
  PageModel whole(&context_);
  whole.Build(document.Document(), 0, &fonts_, &fonts_, PageModel::kNoLimits);
  EXPECT_EQ(whole.Blocks().Size(), 70u);
}

}  // namespace

namespace {

TEST_F(PageModelTest, EffectiveRotationTurnsAgainstTheText) {
  texttest::TextDocument document(&context_, {"BT /F1 10 Tf 0 1 -1 0 300 300 Tm (abc) Tj ET",
                                              "BT /F1 10 Tf 0 -1 1 0 300 700 Tm (abc) Tj ET", "0 0 5 5 re f"});
  content::PageModelBuilder builder(&fonts_, &fonts_);
  constexpr int32_t kFallback = 77;
  auto rotation = [&](int32_t page, bool load) {
    return content::EffectiveRotation(document.Document(), pdf::PageModelKey{1, page, 0}, 90, 180, kFallback, load,
                                      builder);
  };
  // Not cached and not to be loaded: the fallback, and nothing is built.
  EXPECT_EQ(rotation(0, false), kFallback);
  EXPECT_EQ(document.Document().PageModels().Count(), 0u);
  // "Rotate" 90 in a view turned by 180: text upwards (90) shows at 180,
  // text downwards (270) at 0; a page without text at the fallback.
  EXPECT_EQ(rotation(0, true), 180);
  EXPECT_EQ(rotation(1, true), 0);
  EXPECT_EQ(rotation(2, true), kFallback);
  // Once built, the cached model answers without loading.
  EXPECT_EQ(rotation(1, false), 0);
  EXPECT_EQ(document.Document().PageModels().Count(), 3u);
}

}  // namespace

namespace {

TEST_F(PageModelTest, ReadingOrderPutsTitlesFirstAndColumnsLeftToRight) {
  // Shown as: the right column, the left column, then the title across.
  const std::string content =
      "BT /F1 10 Tf 320 700 Td (right one) Tj 0 -14 Td (right two) Tj ET "
      "BT /F1 10 Tf 72 700 Td (left one) Tj 0 -14 Td (left two) Tj ET "
      "BT /F1 20 Tf 72 750 Td (A title across both columns) Tj ET";
  texttest::TextDocument document(&context_, {content});
  PageModel model(&context_);
  model.Build(document.Document(), 0, &fonts_, &fonts_);
  const std::vector<std::vector<std::string>> shown = {
      {"right one", "right two"}, {"left one", "left two"}, {"A title across both columns"}};
  EXPECT_EQ(Blocks(model), shown);
  content::ReadingOrder::Apply(model);
  const std::vector<std::vector<std::string>> read = {
      {"A title across both columns"}, {"left one", "left two"}, {"right one", "right two"}};
  EXPECT_EQ(Blocks(model), read);
}

}  // namespace

namespace {

TEST_F(PageModelTest, ReadingOrderTakesRowsWithABlankBetweenThemBeforeColumns) {
  // Two labelled fields a row, the rows one line of blank apart, the
  // columns far wider apart; then the same with rows whose boxes all but
  // touch, which read as two columns.
  struct Case {
    const char* name;
    int rowStep;
    std::vector<std::vector<std::string>> read;
  };
  const Case cases[] = {
      {"a blank line between rows", 24, {{"Name:"}, {"Alice"}, {"Date:"}, {"Monday"}}},
      {"rows almost touching", 11, {{"Name:"}, {"Date:"}, {"Alice"}, {"Monday"}}},
  };
  for (const Case& c : cases) {
    const std::string step = std::to_string(c.rowStep);
    const std::string content = "BT /F1 10 Tf 72 700 Td (Name:) Tj ET BT /F1 10 Tf 320 700 Td (Alice) Tj ET "
                                "BT /F1 10 Tf 72 " + std::to_string(700 - c.rowStep) + " Td (Date:) Tj ET "
                                "BT /F1 10 Tf 320 " + std::to_string(700 - c.rowStep) + " Td (Monday) Tj ET";
    texttest::TextDocument document(&context_, {content});
    PageModel model(&context_);
    model.Build(document.Document(), 0, &fonts_, &fonts_);
    ASSERT_EQ(Blocks(model).size(), 4u) << c.name;
    content::ReadingOrder::Apply(model);
    EXPECT_EQ(Blocks(model), c.read) << c.name;
  }
}

}  // namespace

namespace {

TEST_F(PageModelTest, ReadingOrderFollowsTheDirectionOfThePagesText) {
  // Two paragraphs far apart, the one read second shown first; the text
  // is turned, so its first line lies lower on the page (upside down) or
  // further right (running downwards).
  struct Case {
    const char* name;
    const char* matrix;
    const char* second;
    const char* first;
  };
  const Case cases[] = {
      {"upside down", "-1 0 0 -1", "500 300", "500 100"},
      {"running downwards", "0 -1 1 0", "200 600", "400 600"},
  };
  for (const Case& c : cases) {
    const std::string content = std::string("BT /F1 10 Tf ") + c.matrix + " " + c.second +
                                " Tm (second one) Tj ET BT /F1 10 Tf " + c.matrix + " " + c.first +
                                " Tm (first one) Tj ET";
    texttest::TextDocument document(&context_, {content});
    PageModel model(&context_);
    model.Build(document.Document(), 0, &fonts_, &fonts_);
    content::ReadingOrder::Apply(model);
    const std::vector<std::vector<std::string>> read = {{"first one"}, {"second one"}};
    EXPECT_EQ(Blocks(model), read) << c.name;
  }
}

}  // namespace
