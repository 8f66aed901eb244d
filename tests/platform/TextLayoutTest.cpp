#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/FontEngine.h"
#include "platform/Gdi.h"
#include "platform/TextLayout.h"

namespace platform {
namespace {

// The expected glyphs come from FreeType's own character map: the Unicode
// presentation forms of the joined Arabic letters, which the font maps to
// the same glyphs its shaping rules choose, and the characters themselves
// for scripts that only reorder.
class TextLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LOGFONTW logical{};
    logical.lfHeight = -16;
    std::copy_n(u"DejaVu Sans", 12, logical.lfFaceName);
    font_ = FontEngine::Get().Open(logical, 96);
    ASSERT_NE(font_, nullptr);
    ASSERT_EQ(FT_Init_FreeType(&library_), 0);
    ASSERT_EQ(FT_New_Face(library_, font_->file().c_str(), 0, &face_), 0);
    if (FT_Get_Char_Index(face_, 0x0627) == 0 || FT_Get_Char_Index(face_, 0x05D0) == 0) {
      GTEST_SKIP() << font_->file() << " has no Arabic or Hebrew";
    }
  }
  void TearDown() override {
    if (face_ != nullptr) FT_Done_Face(face_);
    if (library_ != nullptr) FT_Done_FreeType(library_);
  }
  // The glyph indices of characters of the reference font, in the order
  // given (display order, left to right).
  std::vector<uint32_t> Reference(std::u32string_view shown) {
    std::vector<uint32_t> glyphs;
    for (char32_t c : shown) glyphs.push_back(FT_Get_Char_Index(face_, c));
    return glyphs;
  }
  static std::vector<uint32_t> Shaped(const TextLine& line) {
    std::vector<uint32_t> glyphs;
    for (const auto& placed : line.glyphs) glyphs.push_back(placed.index);
    return glyphs;
  }
  std::shared_ptr<SizedFont> font_;
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

TEST_F(TextLayoutTest, ArabicAndHebrewComeOutShapedAndRightToLeft) {
  struct Case {
    const char* label;
    std::u16string text;     // logical order
    std::u32string display;  // the characters whose glyphs show, left to right
  };
  const Case cases[] = {
      // kaf teh alef beh: initial, medial, final, and beh alone after alef
      // (a letter standing alone keeps its own glyph).
      {"Arabic word", u"\u0643\u062A\u0627\u0628", U"\u0628\uFE8E\uFE98\uFEDB"},
      // meem lam feh with a Latin word after it: the paragraph is
      // right-to-left, the Latin word keeps its order at its left.
      {"Arabic with Latin", u"\u0645\u0644\u0641 PDF", U"PDF \uFED2\uFEE0\uFEE3"},
      // Hebrew letters do not join; they only read from the right.
      {"Hebrew word", u"\u05E9\u05DC\u05D5\u05DD", U"\u05DD\u05D5\u05DC\u05E9"},
      {"Hebrew with a number", u"\u05E2\u05DE\u05D5\u05D3 12", U"12 \u05D3\u05D5\u05DE\u05E2"},
  };
  for (const auto& c : cases) {
    const TextLine line = LayoutText(*font_, c.text);
    EXPECT_TRUE(line.shaped) << c.label;
    EXPECT_EQ(Shaped(line), Reference(c.display)) << c.label;
    // Pens move left to right across the line.
    for (size_t i = 1; i < line.glyphs.size(); ++i) EXPECT_GE(line.glyphs[i].x, line.glyphs[i - 1].x) << c.label;
    EXPECT_GT(line.width, 0) << c.label;
  }
}

TEST_F(TextLayoutTest, PlainTextAndTheDeviceContextAgree) {
  const TextLine plain = LayoutText(*font_, u"Open");
  EXPECT_FALSE(plain.shaped);
  ASSERT_EQ(plain.glyphs.size(), 4u);
  EXPECT_EQ(plain.glyphs[0].image, &font_->Glyph(u'O'));

  // Measuring through a device context gives the shaped width.
  const HDC dc = CreateCompatibleDC(nullptr);
  LOGFONTW logical{};
  logical.lfHeight = -16;
  std::copy_n(u"DejaVu Sans", 12, logical.lfFaceName);
  const HFONT font = CreateFontIndirectW(&logical);
  SelectObject(dc, font);
  const std::u16string arabic = u"\u0643\u062A\u0627\u0628";
  SIZE size{};
  ASSERT_TRUE(GetTextExtentPoint32W(dc, arabic.c_str(), static_cast<int>(arabic.size()), &size));
  EXPECT_EQ(size.cx, LayoutText(*font_, arabic).width);
  DeleteDC(dc);
  DeleteObject(font);
}

}  // namespace
}  // namespace platform
