#include "content/TextSearch.h"

#include "content/CharClass.h"
#include "content/TextExtractConsumer.h"
#include "content/TextPage.h"
#include "content/Utf16.h"
#include "runtime/ErrorTrap.h"

namespace content {

namespace {

// The search's arena: blocks of 4096 bytes, requests from 1024 bytes on in
// blocks of their own.
constexpr uint32_t kSearchArenaBlock = 4096;
constexpr uint32_t kSearchArenaLarge = 1024;

}  // namespace

SearchPattern::SearchPattern(runtime::LibraryContext* owner, const char16_t* begin, const char16_t* end,
                             bool caseFold, uint8_t flag, uint32_t option)
    : chars_(owner, nullptr, kPerChunk), caseFold_(caseFold ? 1 : 0), flag_(flag), option_(option) {
  for (const char16_t* at = begin; at < end; at = Utf16::Advance(at, end)) {
    FoldedChars folded;
    KanaFold(folded, Utf16::CodePointAt(at, end), caseFold, true, false);
    for (uint32_t i = 0; i < folded.count; ++i) {
      chars_.Push(folded.chars[i]);
      ++length_;
    }
  }
}

TextSearch::TextSearch(runtime::LibraryContext* owner, void* viewer, const runtime::TextPosition& start,
                       const char16_t* begin, const char16_t* end, bool matchCase, uint8_t patternFlag,
                       uint8_t callerByte, uint32_t patternOption, uint32_t callerWord)
    : viewer_(viewer),
      owner_(owner),
      arena_(owner, kSearchArenaBlock, kSearchArenaLarge),
      pattern_(owner, begin, end, !matchCase, patternFlag, patternOption),
      start_(start),
      callerByte_(callerByte),
      callerWord_(callerWord) {
  if (begin == end) runtime::ThrowRuntime(runtime::kMalformed);
}

bool TextSearch::SearchPage(pdf::Document& document, int32_t pageIndex, FontSource* fonts,
                            TextFontSource* textFonts, runtime::TextRange& found) {
  // A pattern that folded to nothing (soft hyphens alone) matches nothing.
  if (pattern_.Length() == 0) return false;
  TextPage page = TextPage::Load(owner_, document, pageIndex, fonts, textFonts);
  TextExtractConsumer consumer(page, pageIndex, pattern_, start_);
  page.Play(consumer);
  consumer.Finish();
  if (!consumer.Found()) return false;
  found = consumer.Match();
  return true;
}

}  // namespace content
