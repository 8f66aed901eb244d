// The text handler's consumer calls, relations and stops, over the stub
// font (half-em glyphs, identity Unicode).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/TextRun.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "tests/content/TextTestSupport.h"

namespace {

using content::TextHandler;

// Writes every consumer call as a short token: S(repeat,unicode,visible)
// and /S for strings, G(new,last,relation)@x,y for the glyphs of a string
// and E(stopped) after them, [ and ] around a glyph, and each character
// with its position (operation.string.glyph.char) and F/L flags.
class RecordingHandler : public TextHandler {
 public:
  RecordingHandler(content::TextPage& page, bool caseFold = false)
      : TextHandler(page, 0, 0, caseFold, true) {}

  int BeginString(bool isRepeat, bool fontHasUnicode, bool isVisible) override {
    trace += "S(" + std::to_string(isRepeat) + std::to_string(fontHasUnicode) + std::to_string(isVisible) + ") ";
    return skipRepeats && isRepeat ? 0 : answerStrings;
  }
  void EndString() override { trace += "/S "; }
  int BeginGlyphs(const uint8_t*, const uint8_t*, const content::TextRun& run, bool isLastString,
                  bool startsNewBlock) override {
    const runtime::FixedPoint at = run.PointAtChar(0, false);
    trace += "G(" + std::to_string(startsNewBlock) + std::to_string(isLastString) +
             std::to_string(CurrentRelation()) + ")@" + std::to_string(at.x >> 16) + "," +
             std::to_string(at.y >> 16) + " ";
    relations.push_back(CurrentRelation());
    return 1;
  }
  void EndGlyphs(bool stopped) override { trace += "E(" + std::to_string(stopped) + ") "; }
  int BeginGlyph(bool, bool) override {
    trace += "[";
    return 1;
  }
  void EndGlyph() override { trace += "] "; }
  void OnChar(uint32_t code, bool isLastChar, bool isFirstChar) override {
    if (code == stopAt) {
      runtime::ThrowError(Owner(), runtime::ErrorRecord{runtime::kTextExtractDomain, 0, 1});
    }
    const runtime::TextPosition& p = Position();
    texttest::AppendUtf8(trace, code);
    trace += "@" + std::to_string(p.operation) + "." + std::to_string(p.string) + "." + std::to_string(p.glyph) +
             "." + std::to_string(p.character) + (isFirstChar ? "F" : "") + (isLastChar ? "L" : "");
    texttest::AppendUtf8(text, code);
  }
  uint32_t ClassifyWideGap() override { return content::kWideGap; }
  int AllowsRubyTest() override { return 1; }

  std::string trace;
  std::string text;
  std::vector<uint32_t> relations;
  uint32_t stopAt = 0xFFFFFFFF;
  int answerStrings = 1;
  bool skipRepeats = false;
};

// What a run recorded.
struct Recorded {
  std::string trace;
  std::string text;
  std::vector<uint32_t> relations;
};

class TextHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.memory.SetBudget(runtime::kNoLimit);
    runtime::SetDefaultContext(&context_);
  }
  void TearDown() override { runtime::SetDefaultContext(nullptr); }

  // Plays one page of `content` into a fresh recorder set up by `prepare`.
  template <class Prepare>
  Recorded Run(const std::string& content, Prepare&& prepare, std::optional<uint32_t>* error = nullptr) {
    texttest::TextDocument document(&context_, {content});
    content::TextPage page = document.Page(0, fonts_);
    RecordingHandler handler(page);
    prepare(handler);
    const auto raised = document.Play(0, handler);
    if (error != nullptr) *error = raised;
    return Recorded{handler.trace, handler.text, handler.relations};
  }
  Recorded Run(const std::string& content) {
    return Run(content, [](RecordingHandler&) {});
  }

  runtime::LibraryContext context_;
  texttest::StubTextFonts fonts_;
};

TEST_F(TextHandlerTest, ThreeStringsGiveTheTraceOfTheirLinesAndWords) {
  const Recorded h =
      Run("BT /F1 10 Tf 72 700 Td (Hello) Tj 30 0 Td (world) Tj 0 -14 Td (next) Tj ET");
  // Operations: BT 1, Tf 2, Td 3, Tj 4, Td 5, Tj 6, Td 7, Tj 8. "Hello"
  // opens the text; "world" starts 5 units (one average advance) after it,
  // the next word; "next", 14 units lower, starts a new block.
  EXPECT_EQ(h.trace,
            "S(011) G(110)@72,700 [H@4.0.0.0F] [e@4.0.1.0] [l@4.0.2.0] [l@4.0.3.0] [o@4.0.4.0L] E(0) /S "
            "S(011) G(013)@102,700 [w@6.0.0.0] [o@6.0.1.0] [r@6.0.2.0] [l@6.0.3.0] [d@6.0.4.0L] E(0) /S "
            "S(011) G(111)@102,686 [n@8.0.0.0F] [e@8.0.1.0] [x@8.0.2.0] [t@8.0.3.0L] E(0) /S ");
}

TEST_F(TextHandlerTest, AStopAtACharacterEndsTheGlyphsOnceAndThePageQuietly) {
  std::optional<uint32_t> error;
  const Recorded h = Run(
      "BT /F1 10 Tf 72 700 Td (Hello) Tj 30 0 Td (world) Tj 0 -14 Td (next) Tj ET",
      [](RecordingHandler& r) { r.stopAt = 'w'; }, &error);
  EXPECT_FALSE(error.has_value());
  EXPECT_EQ(h.text, "Hello");
  // One EndGlyphs with the stop, no EndGlyphs(0), no later string.
  EXPECT_EQ(h.trace.substr(h.trace.find("S(011) G(013)")), "S(011) G(013)@102,700 [E(1) ");
}

TEST_F(TextHandlerTest, GapsBetweenStringsGiveTheirRelations) {
  struct Case {
    const char* name;
    std::string content;
    std::vector<uint32_t> relations;
  };
  // "ab" at size 10 spans 72..82: two glyphs, an average advance of 5.
  const std::string start = "BT /F1 10 Tf 72 700 Td (ab) Tj ";
  const Case cases[] = {
      {"0.4 advances is the next word", start + "12 0 Td (cd) Tj ET", {0, 3}},
      {"just under 0.4 is the same word", start + "11.99 0 Td (cd) Tj ET", {0, 2}},
      {"3.5 advances is a wide gap", start + "27.5 0 Td (cd) Tj ET", {0, 4}},
      {"after a bullet 3.5 is the next word", "BT /F1 10 Tf 72 700 Td (a\\003) Tj 27.5 0 Td (cd) Tj ET", {0, 3}},
      {"stepping back beyond 1.05 advances", start + "-6 0 Td (cd) Tj ET", {0, 1}},
      {"stepping back less stays on the line", start + "9 0 Td (cd) Tj ET", {0, 2}},
      {"a line below is a new block", start + "0 -14 Td (cd) Tj ET", {0, 1}},
      {"text twice as tall is a new block", start + "/F1 25 Tf 10 0 Td (cd) Tj ET", {0, 1}},
      {"a blank string continues in place", start + "( ) Tj (cd) Tj ET", {0, 5, 3}},
      {"a parameter set's font shows text", "BT /G1 gs 72 700 Td (ab) Tj ET", {0}},
      // The kana annotation stands beside the line and leaves its average
      // advance alone: 3.9 units stays under 0.4 of 10.
      {"small kana above the line is ruby",
       "BT /F1 20 Tf 72 700 Td (ab) Tj /F1 5 Tf 0 20 Td (\\004\\004) Tj /F1 20 Tf 23.9 -20 Td (cd) Tj ET",
       {0, 6, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Run(c.content).relations, c.relations);
  }
}

TEST_F(TextHandlerTest, GlyphsMapToFoldedCharacters) {
  struct Case {
    const char* name;
    std::string content;
    std::string trace;
  };
  const Case cases[] = {
      {"a surrogate pair is one code point", "BT /F1 10 Tf (\\001) Tj ET",
       "S(011) G(110)@0,0 [\xF0\x9D\x90\x80@3.0.0.0FL] E(0) /S "},
      {"a ligature is three characters, the first and last flagged", "BT /F1 10 Tf (\\002) Tj ET",
       "S(011) G(110)@0,0 [f@3.0.0.0Ff@3.0.0.1i@3.0.0.2L] E(0) /S "},
      {"a code without Unicode gives no character", "BT /F1 10 Tf (a\\005) Tj ET",
       "S(011) G(110)@0,0 [a@3.0.0.0F] [] E(0) /S "},
      {"a TJ's strings are numbered and only the last is last",
       "BT /F1 10 Tf [(a) -100 (b)] TJ ET",
       "S(011) G(100)@0,0 [a@3.0.0.0F] E(0) G(012)@0,0 [b@3.1.0.0L] E(0) /S "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Run(c.content).trace, c.trace);
  }
}

TEST_F(TextHandlerTest, StringsSkippedByTheConsumerOrTheFont) {
  // The same string drawn again within a quarter of the ascent (8.5 / 4)
  // is a repeat, which a search consumer skips.
  const Recorded repeated = Run("BT /F1 10 Tf 72 700 Td (ab) Tj 2 0 Td (ab) Tj ET",
                                        [](RecordingHandler& r) { r.skipRepeats = true; });
  EXPECT_EQ(repeated.text, "ab");
  EXPECT_NE(repeated.trace.find("S(111) /S "), std::string::npos) << repeated.trace;
  const Recorded apart = Run("BT /F1 10 Tf 72 700 Td (ab) Tj 3 0 Td (ab) Tj ET",
                                     [](RecordingHandler& r) { r.skipRepeats = true; });
  EXPECT_EQ(apart.text, "abab");
  // A string refused by BeginString still ends once.
  const Recorded refused = Run("BT /F1 10 Tf (ab) Tj ET", [](RecordingHandler& r) { r.answerStrings = 0; });
  EXPECT_EQ(refused.trace, "S(011) /S ");
  // Text outside the page's visible box is invisible.
  texttest::TextDocument document(&context_, {"BT /F1 10 Tf 700 700 Td (ab) Tj ET"});
  content::TextPage page = document.Page(0, fonts_);
  page.visibleBox = runtime::Rect{0, 0, runtime::FixedFromInt(612), runtime::FixedFromInt(792)};
  RecordingHandler outside(page);
  document.Play(0, outside);
  EXPECT_EQ(outside.trace.substr(0, 7), "S(010) ");
}

TEST_F(TextHandlerTest, AFontThatDrawsNothingShowsNoText) {
  fonts_.font.isUsable = 0;
  EXPECT_EQ(Run("BT /F1 10 Tf (ab) Tj [(c)] TJ ET").trace, "");
}

TEST_F(TextHandlerTest, ShowingMovesTheTextPoint) {
  // Two strings on one line: the second starts where the first ended,
  // with character and word spacing and horizontal scaling applied.
  const Recorded h = Run("BT /F1 10 Tf 2 Tc 4 Tw 50 Tz (a b) Tj (c) Tj ET");
  // Each glyph: (5 + 2) × 0.5, the space 4 more: 3.5 + 5.5 + 3.5 = 12.5.
  EXPECT_NE(h.trace.find("G(012)@12,0"), std::string::npos) << h.trace;
}

}  // namespace
