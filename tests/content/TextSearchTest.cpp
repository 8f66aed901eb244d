// Search set-up: UTF-16 stepping, the folded pattern, and matching page
// text over the stub font.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/TextSearch.h"
#include "content/Utf16.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "tests/content/TextTestSupport.h"

namespace {

using content::Utf16;

TEST(Utf16Test, CodePointsAndSteps) {
  struct Case {
    const char* name;
    std::u16string text;
    std::vector<uint32_t> codes;
  };
  const Case cases[] = {
      {"plain units", u"ab", {'a', 'b'}},
      {"a pair is one code point", std::u16string{0xD83D, 0xDE00, 'x'}, {0x1F600, 'x'}},
      // A lone surrogate reads as invalid and steps one unit, so the
      // character after it is kept (two units were taken before).
      {"a lone high surrogate before a letter", std::u16string{0xD83D, 'x'}, {Utf16::kInvalid, 'x'}},
      {"a lone low surrogate", std::u16string{0xDE00, 'x'}, {Utf16::kInvalid, 'x'}},
      {"a high surrogate at the end", std::u16string{'a', 0xD83D}, {'a', Utf16::kInvalid}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint32_t> codes;
    const char16_t* end = c.text.data() + c.text.size();
    for (const char16_t* at = c.text.data(); at < end; at = Utf16::Advance(at, end)) {
      codes.push_back(Utf16::CodePointAt(at, end));
    }
    EXPECT_EQ(codes, c.codes);
  }
}

class TextSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.memory.SetBudget(runtime::kNoLimit);
    runtime::SetDefaultContext(&context_);
  }
  void TearDown() override { runtime::SetDefaultContext(nullptr); }

  std::vector<uint32_t> Pattern(const std::u16string& text, bool matchCase) {
    content::TextSearch search(&context_, nullptr, {}, text.data(), text.data() + text.size(), matchCase, 0, 0, 0, 0);
    std::vector<uint32_t> chars;
    for (uint32_t i = 0; i < search.Pattern().Length(); ++i) chars.push_back(search.Pattern().At(i));
    return chars;
  }

  // Where `text` is found on the one page of `content`, from `start`:
  // "op.string.glyph-op.string.glyph", or "" when not found.
  std::string Find(const std::string& content, const std::u16string& text, bool matchCase = false,
                   runtime::TextPosition start = {}, bool wholeWord = false) {
    texttest::TextDocument document(&context_, {content});
    content::TextSearch search(&context_, nullptr, start, text.data(), text.data() + text.size(), matchCase,
                               wholeWord ? 1 : 0, 0, 0, 0);
    runtime::TextRange range;
    if (!search.SearchPage(document.Document(), 0, &fonts_, &fonts_, range)) return "";
    auto at = [](const runtime::TextPosition& p) {
      return std::to_string(p.operation) + "." + std::to_string(p.string) + "." + std::to_string(p.glyph);
    };
    return at(range.start) + "-" + at(range.end);
  }

  runtime::LibraryContext context_;
  texttest::StubTextFonts fonts_;
};

TEST_F(TextSearchTest, ThePatternIsTheFoldedString) {
  EXPECT_EQ(Pattern(u"AbC", false), (std::vector<uint32_t>{'a', 'b', 'c'}));
  EXPECT_EQ(Pattern(u"AbC", true), (std::vector<uint32_t>{'A', 'b', 'C'}));
  EXPECT_EQ(Pattern(u"\u2019s \uFB01", true), (std::vector<uint32_t>{'\'', 's', ' ', 'f', 'i'}));
  const std::u16string pair{0xD83D, 0xDE00};
  EXPECT_EQ(Pattern(pair, true), (std::vector<uint32_t>{0x1F600}));
  const std::u16string lone{'a', 0xD83D};
  EXPECT_EQ(Pattern(lone, true), (std::vector<uint32_t>{'a', Utf16::kInvalid}));
  // An empty string is refused.
  const std::u16string empty;
  EXPECT_EQ(testsupport::RaisedCode([&] {
              content::TextSearch search(&context_, nullptr, {}, empty.data(), empty.data(), false, 0, 0, 0, 0);
            }),
            runtime::kMalformed);
}

TEST_F(TextSearchTest, MatchesFollowTheTextAcrossStringsAndLines) {
  struct Case {
    const char* name;
    std::string content;
    std::u16string text;
    std::string found;
  };
  // Operations: BT 1, Tf 2, Td 3, Tj 4, Td 5, Tj 6.
  const std::string start = "BT /F1 10 Tf 72 700 Td ";
  const Case cases[] = {
      {"within a string", start + "(an example here) Tj ET", u"example", "4.0.3-4.0.9"},
      {"case folded", start + "(An EXAMPLE) Tj ET", u"example", "4.0.3-4.0.9"},
      {"a hyphen at a line end joins the word", start + "(an exam-) Tj 0 -14 Td (ple here) Tj ET", u"example",
       "4.0.3-6.0.2"},
      {"a hyphen inside a line stays", start + "(an exam-ple) Tj ET", u"example", ""},
      {"a hyphen after a space stays at a line end", start + "(an -) Tj 0 -14 Td (ple) Tj ET", u"an ple", ""},
      {"the hyphenated form still matches", start + "(an exam-ple) Tj ET", u"exam-ple", "4.0.3-4.0.10"},
      {"a line break is a space", start + "(one) Tj 0 -14 Td (two) Tj ET", u"one two", "4.0.0-6.0.2"},
      {"a word gap is a space", start + "(one) Tj 5 0 Td (two) Tj ET", u"one two", "4.0.0-6.0.2"},
      {"no space inside a word", start + "(one) Tj (two) Tj ET", u"onetwo", "4.0.0-5.0.2"},
      {"a space that takes no room parts nothing", start + "-5 Tw (one two) Tj ET", u"onetwo", "5.0.0-5.0.6"},
      {"a partial match falls back", start + "(aaab) Tj ET", u"aab", "4.0.1-4.0.3"},
      {"not there", start + "(nothing) Tj ET", u"something", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Find(c.content, c.text), c.found);
  }
  // Matching case, and from a start position past the first match.
  EXPECT_EQ(Find(start + "(An example) Tj ET", u"an", true), "");
  runtime::TextPosition after;
  after.operation = 4;
  after.glyph = 1;
  EXPECT_EQ(Find(start + "(ab ab) Tj ET", u"ab", false, after), "4.0.3-4.0.4");
}

TEST_F(TextSearchTest, WholeWordsNeedSeparatorsOnBothSides) {
  struct Case {
    const char* name;
    std::string text;
    std::u16string word;
    std::string found;
  };
  // The string is operation 4; a second line is operation 6.
  const std::string start = "BT /F1 10 Tf 72 700 Td ";
  const Case cases[] = {
      {"the first word of the page", "(the cat) Tj", u"the", "4.0.0-4.0.2"},
      {"the last word of the page", "(a cat) Tj", u"cat", "4.0.2-4.0.4"},
      {"inside a longer word", "(other) Tj", u"the", ""},
      {"a prefix of a longer word, then the word", "(then the) Tj", u"the", "4.0.5-4.0.7"},
      {"punctuation separates", "(see:the.) Tj", u"the", "4.0.4-4.0.6"},
      {"a word across a line break", "(one) Tj 0 -14 Td (two) Tj", u"two", "6.0.0-6.0.2"},
      {"a word joined over a hyphen", "(exam-) Tj 0 -14 Td (ple) Tj", u"example", "4.0.0-6.0.2"},
      {"the apostrophe is part of a word", "(it's) Tj", u"it", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Find(start + c.text + " ET", c.word, false, {}, true), c.found);
  }
  // A range that starts inside a word starts a word: after the match "ab"
  // of "ab ab", the next is found although the text before is a letter.
  runtime::TextPosition after;
  after.operation = 4;
  after.glyph = 0;
  after.after = 1;
  EXPECT_EQ(Find(start + "(aab) Tj ET", u"ab", false, after, true), "4.0.1-4.0.2");
}

}  // namespace
