// Folding and character classes of text extraction.
#include <gtest/gtest.h>

#include <vector>

#include "content/CharClass.h"

namespace {

using content::CharClass;

std::vector<uint32_t> Fold(uint32_t code, bool caseFold, bool quoteFold, bool kanaFold) {
  content::FoldedChars out;
  content::KanaFold(out, code, caseFold, quoteFold, kanaFold);
  return {out.chars, out.chars + out.count};
}

TEST(CharClassTest, FoldingRemovesDifferencesAReaderDoesNotSee) {
  struct Case {
    uint32_t code;
    bool caseFold, quoteFold, kanaFold;
    std::vector<uint32_t> folded;
  };
  const Case cases[] = {
      {0x41, true, false, false, {0x61}},
      {0x41, false, false, false, {0x41}},
      {0xC4, true, false, false, {0xE4}},
      {0xD7, true, false, false, {0xD7}},  // the multiplication sign
      {0xDE, true, false, false, {0xDE}},
      {0x2019, false, true, false, {0x27}},
      {0x2019, false, false, false, {0x2019}},
      {0x201C, false, true, false, {0x22}},
      {0xFB03, false, false, false, {'f', 'f', 'i'}},
      {0xFB06, false, false, false, {'s', 't'}},
      {0x0133, true, false, false, {'i', 'j'}},
      {0x0132, true, false, false, {'I', 'J'}},  // the digraph keeps its case
      {0x00AD, false, false, false, {}},
      {0xFF76, false, false, true, {0x30AB}},
      {0xFF66, false, false, true, {0x30F2}},
      {0xFF9D, false, false, true, {0x30F3}},
      {0xFF76, false, false, false, {0xFF76}},
      {0xFF9E, false, false, true, {0xFF9E}},  // sound marks stay
      {0xFF70, false, false, true, {0xFF70}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(Fold(c.code, c.caseFold, c.quoteFold, c.kanaFold), c.folded);
  }
}

TEST(CharClassTest, ClassesOfCodePoints) {
  struct Case {
    uint32_t code;
    bool nonWord, dash, nonBlank;
  };
  const Case cases[] = {
      {0x27, false, false, true},    // the apostrophe belongs to words
      {0x2D, true, true, true},      // hyphen-minus
      {0x2014, true, true, true},    // em dash
      {0xAD, true, false, true},     // the soft hyphen is no dash
      {0x4E00, true, false, true},   // ideographs are not word characters
      {0x3042, true, false, true},   // nor is hiragana
      {0x30A2, false, false, true},  // katakana is
      {0xAC00, false, false, true},  // Hangul syllables are
      {0x20, true, false, false},
      {0xA0, true, false, false},
      {0x3000, true, false, false},
      {0x21, true, false, true},
      {0x85, true, false, false},
      {'a', false, false, true},
      {0xE9, false, false, true},
      {0x0301, false, false, true},  // a combining mark
      {0x0663, false, false, true},  // an Arabic-Indic digit
      {0x2163, false, false, true},  // a Roman numeral
      {0xFF0D, true, true, true},
      {0x1F600, true, false, true},  // beyond the table
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(CharClass::IsNonWordChar(c.code), c.nonWord);
    EXPECT_EQ(CharClass::IsDash(c.code), c.dash);
    EXPECT_EQ(CharClass::IsNonBlank(c.code), c.nonBlank);
  }
}

TEST(CharClassTest, RangeTablesFindTheirEdgesOnly) {
  static const uint32_t kTable[][2] = {{10, 20}, {30, 30}, {40, 0x10FFFF}};
  const uint32_t (*begin)[2] = kTable;
  struct Case {
    uint32_t code;
    bool found;
  };
  const Case cases[] = {{9, false}, {10, true}, {20, true}, {21, false}, {29, false},
                        {30, true}, {31, false}, {40, true}, {0x10FFFF, true}, {0x110000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(content::RangeTable::Contains(begin, begin + 3, c.code), c.found);
  }
  EXPECT_FALSE(content::RangeTable::Contains(begin, begin, 15));
  EXPECT_TRUE(CharClass::IsCjk(0x4E00));
  EXPECT_TRUE(CharClass::IsCjk(0x2A6DF));
  EXPECT_FALSE(CharClass::IsCjk(0x2A6E0));
  EXPECT_TRUE(CharClass::IsBullet(0x2022));
  EXPECT_TRUE(CharClass::IsBullet(0x25E6));
  EXPECT_FALSE(CharClass::IsBullet(0x25E7));
}

}  // namespace
