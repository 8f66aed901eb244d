#include "content/TextExtractConsumer.h"

#include "content/CharClass.h"
#include "content/TextSearch.h"
#include "runtime/ErrorTrap.h"

namespace content {

namespace {

constexpr uint32_t kConsumerArenaBlock = 4096;

}  // namespace

TextExtractConsumer::TextExtractConsumer(TextPage& page, int32_t pageIndex, SearchPattern& pattern,
                                         const runtime::TextPosition& start)
    : TextHandler(page, 0, pageIndex, pattern.CaseFold(), true),
      arena_(Owner(), kConsumerArenaBlock, kConsumerArenaBlock / 4),
      pattern_(arena_, pattern.Length()),
      border_(arena_, pattern.Length()),
      positions_(arena_, pattern.Length()),
      afterSeparator_(arena_, pattern.Length()),
      wholeWord_(pattern.WholeWord()),
      start_(start) {
  const uint32_t length = pattern.Length();
  for (uint32_t i = 0; i < length; ++i) {
    pattern_.PushBack(pattern.At(i));
    positions_.PushBack(runtime::TextPosition{});
    afterSeparator_.PushBack(0);
  }
  // border_[i]: the longest proper prefix of pattern[0..i] that is also
  // its suffix.
  for (uint32_t i = 0; i < length; ++i) border_.PushBack(0);
  for (uint32_t i = 1, k = 0; i < length; ++i) {
    while (k > 0 && pattern_[i] != pattern_[k]) k = border_[k - 1];
    if (pattern_[i] == pattern_[k]) ++k;
    border_[i] = k;
  }
}

int TextExtractConsumer::BeginString(bool isRepeat, bool fontHasUnicode, bool isVisible) {
  return !isRepeat && fontHasUnicode && isVisible ? 1 : 0;
}

int TextExtractConsumer::BeginGlyphs(const uint8_t*, const uint8_t*, const TextRun&, bool, bool) {
  switch (CurrentRelation()) {
    case kRuby: return 0;  // beside the line, not part of its text
    case kNewBlock:
      lineBreak_ = true;
      separatorPending_ = true;
      break;
    case kNextWord:
    case kWideGap: separatorPending_ = true; break;
    default: break;
  }
  return 1;
}

void TextExtractConsumer::OnChar(uint32_t code, bool, bool) {
  const runtime::TextPosition position = Position();
  if (hyphenHeld_) {
    hyphenHeld_ = false;
    if (lineBreak_ && CharClass::JoinsBrokenWord(heldBefore_, heldHyphen_, code)) {
      // A word broken at the line's end: the hyphen and the line break go.
      separatorPending_ = false;
    } else {
      Feed(heldHyphen_, hyphenAt_);
    }
  }
  if (separatorPending_) {
    separatorPending_ = false;
    FeedSeparator();
  }
  lineBreak_ = false;
  if (CharClass::IsDash(code) && !CharClass::IsNonWordChar(last_)) {
    heldBefore_ = last_;
    // Held until the next character shows whether a line break follows.
    hyphenHeld_ = true;
    heldHyphen_ = code;
    hyphenAt_ = position;
    return;
  }
  Feed(code, position);
}

void TextExtractConsumer::FeedSeparator() { Feed(0x20, Position()); }

void TextExtractConsumer::FallBack(uint32_t matched) {
  // The longest border's characters are the last ones matched.
  const uint32_t border = border_[matched - 1];
  for (uint32_t i = 0; i < border; ++i) {
    positions_[i] = positions_[matched - border + i];
    afterSeparator_[i] = afterSeparator_[matched - border + i];
  }
  matched_ = border;
}

void TextExtractConsumer::StopAtMatch() {
  found_ = true;
  runtime::ThrowError(Owner(), runtime::ErrorRecord{runtime::kTextExtractDomain, 0, 1});
}

void TextExtractConsumer::Finish() {
  if (!pending_) return;
  pending_ = false;
  found_ = true;
}

void TextExtractConsumer::Feed(uint32_t code, const runtime::TextPosition& position) {
  if (!CharClass::IsNonBlank(code)) code = 0x20;
  if (code == 0x20 && last_ == 0x20) return;  // white space counts once
  last_ = code;
  const bool afterSeparator = lastWasSeparator_;
  lastWasSeparator_ = CharClass::IsNonWordChar(code);
  if (runtime::TextPosition::Less(position, start_)) {
    // Whatever stands before the range's start, the range begins a word.
    lastWasSeparator_ = true;
    matched_ = 0;
    return;
  }
  if (pending_) {
    pending_ = false;
    if (lastWasSeparator_) StopAtMatch();
  }
  const uint32_t length = pattern_.Size();
  while (matched_ > 0 && pattern_[matched_] != code) FallBack(matched_);
  if (pattern_[matched_] != code) return;
  positions_[matched_] = position;
  afterSeparator_[matched_] = afterSeparator ? 1 : 0;
  if (++matched_ < length) return;
  const bool wordStart = afterSeparator_[0] != 0;
  match_.start = positions_[0];
  match_.end = position;
  match_.end.after = 1;
  if (!wholeWord_) StopAtMatch();
  FallBack(length);
  // A whole word also needs a separator (or the page's end) after it.
  if (wordStart) pending_ = true;
}

}  // namespace content
