#pragma once
// Search set-up: the pattern derived from the typed string (each code
// point folded as page text is folded), and the search object the viewer
// runs page by page. Each page is played into a TextExtractConsumer, which
// matches the page's characters as they arrive and stops the page at the
// first match.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/ChunkedList.h"
#include "runtime/TextPosition.h"

namespace pdf {
class Document;
}

namespace content {

class FontSource;
class TextFontSource;

class SearchPattern {
 public:
  // Characters a chunk of the pattern list holds.
  static constexpr uint32_t kPerChunk = 10;

  // Folds each code point of the UTF-16 string [begin, end) with the case
  // folding given, curly quotes folded and halfwidth katakana kept.
  SearchPattern(runtime::LibraryContext* owner, const char16_t* begin, const char16_t* end, bool caseFold,
                uint8_t flag, uint32_t option);

  uint32_t Length() const { return length_; }
  uint32_t At(uint32_t i) { return chars_.At(i); }
  bool CaseFold() const { return caseFold_ != 0; }
  // The pattern's flag: a match must be a whole word (separators, or the
  // range's or page's ends, on both sides).
  bool WholeWord() const { return flag_ != 0; }
  // The caller's option word, kept with the pattern.
  uint32_t Option() const { return option_; }

 private:
  runtime::ChunkedList<uint32_t> chars_;
  uint32_t length_ = 0;
  uint16_t caseFold_;
  uint8_t flag_;
  uint32_t option_;
};

class TextSearch {
 public:
  // (runtime, 2) for an empty string.
  TextSearch(runtime::LibraryContext* owner, void* viewer, const runtime::TextPosition& start, const char16_t* begin,
             const char16_t* end, bool matchCase, uint8_t patternFlag, uint8_t callerByte, uint32_t patternOption,
             uint32_t callerWord);
  TextSearch(const TextSearch&) = delete;
  TextSearch& operator=(const TextSearch&) = delete;

  // Plays page `pageIndex` and looks for the pattern at or after the start
  // position; true with the match's range when found. The text before the
  // start position counts as a separator for whole-word matching, and so
  // does the page's end.
  bool SearchPage(pdf::Document& document, int32_t pageIndex, FontSource* fonts, TextFontSource* textFonts,
                  runtime::TextRange& found);

  SearchPattern& Pattern() { return pattern_; }
  // The viewer that started the search, as the caller gave it.
  void* Viewer() const { return viewer_; }
  const runtime::TextPosition& Start() const { return start_; }
  uint8_t CallerByte() const { return callerByte_; }
  uint32_t CallerWord() const { return callerWord_; }

 private:
  void* viewer_;
  runtime::LibraryContext* owner_;
  runtime::ArenaAllocator arena_;
  SearchPattern pattern_;
  runtime::TextPosition start_;
  uint8_t callerByte_;
  uint32_t callerWord_;
};

}  // namespace content
