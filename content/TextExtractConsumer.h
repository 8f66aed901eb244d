#pragma once
// The search's text handler: it takes only visible, non-repeated strings
// with Unicode, feeds their folded characters to a matcher as they arrive
// and stops the page at the first match. Between words and lines it feeds
// one space; a hyphen that ends a line before a word that goes on is held
// back and dropped, so "exam-" at a line end followed by "ple" matches
// "example".
#include <cstdint>

#include "content/TextHandler.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"

namespace content {

class SearchPattern;

class TextExtractConsumer final : public TextHandler {
 public:
  TextExtractConsumer(TextPage& page, int32_t pageIndex, SearchPattern& pattern, const runtime::TextPosition& start);

  int BeginString(bool isRepeat, bool fontHasUnicode, bool isVisible) override;
  void EndString() override {}
  int BeginGlyphs(const uint8_t* begin, const uint8_t* end, const TextRun& run, bool isLastString,
                  bool startsNewBlock) override;
  void EndGlyphs(bool) override {}
  int BeginGlyph(bool, bool) override { return 1; }
  void EndGlyph() override {}
  void OnChar(uint32_t code, bool isLastChar, bool isFirstChar) override;
  uint32_t ClassifyWideGap() override { return kWideGap; }
  int AllowsRubyTest() override { return 1; }

  // The page ended: a whole-word match that waited for the character
  // after it is taken.
  void Finish();
  bool Found() const { return found_; }
  const runtime::TextRange& Match() const { return match_; }

 private:
  // Feeds one character (at `position`) to the matcher; stops the page on
  // a match.
  void Feed(uint32_t code, const runtime::TextPosition& position);
  void FeedSeparator();
  [[noreturn]] void StopAtMatch();
  // Falls back to the longest border of the `matched` characters matched.
  void FallBack(uint32_t matched);

  runtime::ArenaAllocator arena_;
  // The pattern and its failure table (longest proper border of each
  // prefix), for matching a stream.
  runtime::ArenaVector<uint32_t> pattern_;
  runtime::ArenaVector<uint32_t> border_;
  // Where each matched character stood, by its index in the pattern.
  runtime::ArenaVector<runtime::TextPosition> positions_;
  // Whether the character fed before each matched character was a
  // separator (whole-word matching).
  runtime::ArenaVector<uint8_t> afterSeparator_;
  bool wholeWord_ = false;
  // The character fed last was a separator; the range's start counts as
  // one.
  bool lastWasSeparator_ = true;
  // A whole-word match waits for the next character to be a separator.
  bool pending_ = false;
  runtime::TextPosition start_;
  uint32_t matched_ = 0;
  uint32_t last_ = 0x20;
  bool lineBreak_ = false;
  bool separatorPending_ = false;
  bool hyphenHeld_ = false;
  uint32_t heldHyphen_ = 0;
  uint32_t heldBefore_ = 0;
  runtime::TextPosition hyphenAt_;
  bool found_ = false;
  runtime::TextRange match_;
};

}  // namespace content
