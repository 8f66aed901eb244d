#include "resources/UIStringTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace resources {
namespace {

std::string Narrow(const char16_t* text) {
  std::string out;
  for (; *text; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '?';
  return out;
}

// The format-relevant pieces of a text, in order: "%d", "%1!s!".."%8!s!",
// "%0", a bare "%" and the tab before a shortcut.
std::vector<std::u16string> Placeholders(const char16_t* text) {
  std::vector<std::u16string> found;
  for (const char16_t* p = text; *p; ++p) {
    if (*p == u'\t') {
      found.push_back(u"\t");
      continue;
    }
    if (*p != u'%') continue;
    if (p[1] == u'd') {
      found.push_back(u"%d");
      ++p;
    } else if (p[1] >= u'1' && p[1] <= u'9' && p[2] == u'!' && p[3] == u's' && p[4] == u'!') {
      found.push_back(std::u16string(p, 5));
      p += 4;
    } else if (p[1] == u'0') {
      found.push_back(u"%0");
      ++p;
    } else {
      found.push_back(u"%");
    }
  }
  return found;
}

TEST(UIStringTableTest, PlaceholderScannerSeesEveryKind) {
  EXPECT_EQ(Placeholders(u"Page %d of %d"), (std::vector<std::u16string>{u"%d", u"%d"}));
  EXPECT_EQ(Placeholders(u"%1!s!/%2!s! x%0"),
            (std::vector<std::u16string>{u"%1!s!", u"%2!s!", u"%0"}));
  EXPECT_EQ(Placeholders(u"To %\tZ"), (std::vector<std::u16string>{u"%", u"\t"}));
  EXPECT_TRUE(Placeholders(u"Open").empty());
}

TEST(UIStringTableTest, EveryRowHoldsEveryEntryWithTheEnglishPlaceholders) {
  for (uint32_t row = 0; row < kUILanguageCount; ++row) {
    for (uint32_t column = 0; column < kUIStringCount; ++column) {
      const char16_t* text = kUIStringTable[row][column];
      const char16_t* english = kUIStringTable[0][column];
      ASSERT_NE(text, nullptr) << "row " << row << " entry " << column;
      EXPECT_NE(text[0], 0) << "row " << row << " entry " << column << " is empty";
      EXPECT_EQ(Placeholders(text), Placeholders(english))
          << "row " << row << " entry " << column << ": " << Narrow(text);
    }
  }
}

TEST(UIStringTableTest, TextsAreWellFormedUtf16WithoutControlCharacters) {
  for (uint32_t row = 0; row < kUILanguageCount; ++row) {
    for (uint32_t column = 0; column < kUIStringCount; ++column) {
      for (const char16_t* p = kUIStringTable[row][column]; *p; ++p) {
        const bool control = (*p < 0x20 && *p != u'\t') || (*p >= 0x7F && *p < 0xA0);
        EXPECT_FALSE(control) << "row " << row << " entry " << column;
        if (*p >= 0xD800 && *p < 0xDC00) {
          EXPECT_TRUE(p[1] >= 0xDC00 && p[1] < 0xE000) << "row " << row << " entry " << column;
          if (p[1]) ++p;
        } else {
          EXPECT_FALSE(*p >= 0xDC00 && *p < 0xE000) << "row " << row << " entry " << column;
        }
      }
    }
  }
}

// A translated row may share a few words with English ("OK", "PDF Version"
// in some languages), but never most of them: that would be a row copied and
// left untranslated.
TEST(UIStringTableTest, TranslatedRowsAreNotCopiesOfEnglish) {
  constexpr uint32_t kDateTemplate = 48;
  constexpr uint32_t kMostSharedWords = 8;
  for (uint32_t row = 1; row < kUILanguageCount; ++row) {
    uint32_t same = 0;
    for (uint32_t column = 0; column < kUIStringCount; ++column) {
      if (column == kDateTemplate) continue;
      if (std::u16string(kUIStringTable[row][column]) == kUIStringTable[0][column]) ++same;
    }
    EXPECT_LE(same, kMostSharedWords) << "row " << row;
  }
}

TEST(UIStringTableTest, LegalNoticeNamesTheProductAndVersionInEveryRow) {
  constexpr uint32_t kLegalNotice = 47;
  for (uint32_t row = 0; row < kUILanguageCount; ++row) {
    const std::u16string notice = kUIStringTable[row][kLegalNotice];
    EXPECT_NE(notice.find(u"Vantrel Folvane Zo"), std::u16string::npos) << "row " << row;
    EXPECT_NE(notice.find(u"2.5"), std::u16string::npos) << "row " << row;
    EXPECT_NE(notice.find(u"\u00A9"), std::u16string::npos) << "row " << row;
  }
}

TEST(UIStringTableTest, LookupOutsideTheTableGivesTheEmptyText) {
  EXPECT_EQ(std::u16string(GetUIString(0, 0)), u"Open");
  EXPECT_EQ(std::u16string(GetUIString(5, 56)), u"Annuler");
  EXPECT_EQ(std::u16string(GetUIString(kUILanguageCount, 0)), u"");
  EXPECT_EQ(std::u16string(GetUIString(0, kUIStringCount)), u"");
}

}  // namespace
}  // namespace resources
