#include "content/PageModelTextHandler.h"

#include "content/CharClass.h"
#include "content/PageModel.h"
#include "content/TextExtract.h"
#include "content/TextRun.h"
#include "runtime/ErrorTrap.h"

namespace content {

PageModelTextHandler::PageModelTextHandler(TextPage& page, PageModel& model, TextExtract& engine,
                                           int32_t pageIndex, uint32_t options)
    : TextHandler(page, 0, pageIndex, false, false), model_(model), engine_(engine), options_(options) {}

template <class Show>
void PageModelTextHandler::NoteFirstText(Show&& show) {
  textRecorded_ = false;
  const uint32_t operation = Position().operation;
  show();
  if (model_.firstTextOperation_ == 0 && textRecorded_) model_.firstTextOperation_ = operation;
}

void PageModelTextHandler::ShowText(const uint8_t* bytes, uint32_t count, runtime::Rect& box) {
  NoteFirstText([&] { TextHandler::ShowText(bytes, count, box); });
}

void PageModelTextHandler::ShowTextArray(const TextArrayElement* elements, uint32_t count, runtime::Rect& bounds) {
  NoteFirstText([&] { TextHandler::ShowTextArray(elements, count, bounds); });
}

int PageModelTextHandler::BeginString(bool, bool, bool) {
  ++strings_;
  return 1;
}

int PageModelTextHandler::BeginGlyphs(const uint8_t*, const uint8_t*, const TextRun&, bool, bool startsNewBlock) {
  CheckLimits();
  if (startsNewBlock) {
    RunPass();
    lineCharStart_ = model_.chars_.Size();
  }
  switch (CurrentRelation()) {
    // A repeat or a string off the page adds nothing; a blank string adds
    // its spaces, and zero-width marks their characters.
    case kInPlace: return CurrentStringHidden() ? 0 : 1;
    case kRuby: return 0;  // an annotation beside the line, not part of its text
    case kSameWord:
      if (!SeparatesWords()) break;
      [[fallthrough]];
    case kNextWord:
    case kWideGap: {
      const uint32_t size = model_.chars_.Size();
      if (size > lineCharStart_ && model_.chars_[size - 1] != 0x20) model_.chars_.PushBack(0x20);
      break;
    }
    default: break;
  }
  return 1;
}

bool PageModelTextHandler::SeparatesWords() const {
  // The same-word test measures the gap in average advances, which wide
  // capitals or digits stretch: a gap of a space's width between words
  // in such text passes for a kerning step. In the page's text a gap
  // wider than a tenth of the text's size parts words whatever the
  // advances (a kerning step stays well below it).
  const StringTextInfo* info = CurrentInfo();
  if (info == nullptr || !info->HasNonBlank()) return false;
  const LineGap measure = LineState().MeasureGap(*info);
  const int64_t height = std::min(measure.lineHeight, measure.stringHeight);
  return height > 0 && measure.gap > height / 10;
}

int PageModelTextHandler::BeginGlyph(bool, bool) {
  // Letter spacing wider than a tenth of the text's size inside one
  // string parts the glyphs as a gap between strings would ("A section"
  // set as one spaced string with the letters pulled back by the array).
  // CJK text parts no words with spaces, so its spacing is left alone.
  const TextRun* run = CurrentRun();
  const StringTextInfo* info = CurrentInfo();
  if (run != nullptr && info != nullptr && Position().glyph > 0 && !info->box.IsEmpty() &&
      (info->scripts & StringTextInfo::kCjk) == 0) {
    const runtime::Fixed spacing = run->SpacingBefore(CurrentGlyphIndex());
    const uint32_t size = model_.chars_.Size();
    if (spacing > info->box.Height() / 10 && size > lineCharStart_ && model_.chars_[size - 1] != 0x20) {
      model_.chars_.PushBack(0x20);
    }
  }
  return 1;
}

void PageModelTextHandler::EndGlyphs(bool) {
  textRecorded_ = true;
  model_.hasText_ = true;
  const StringTextInfo* info = CurrentInfo();
  if (info == nullptr || CurrentStringHidden() || info->box.IsEmpty()) return;
  const uint32_t operation = Position().operation;
  auto& hits = model_.annotHits_;
  for (uint32_t i = 0; i < model_.annotBoxes_.Size(); ++i) {
    if (!OrientedBox::Meets(info->box, model_.annotBoxes_[i].box)) continue;
    // A show of several strings meets a box once.
    const uint32_t size = hits.Size();
    if (size > 0 && hits[size - 1].box == i && hits[size - 1].operation == operation) continue;
    hits.PushBack(AnnotationHit{i, operation});
  }
}

uint32_t PageModelTextHandler::ClassifyWideGap() {
  const StringTextInfo* info = CurrentInfo();
  if (info == nullptr) return kNewBlock;
  // The ends may miss the link's by up to the text's height: link
  // rectangles are drawn around the text with some margin.
  const int64_t tolerance = info->box.Height();
  for (const AnnotationBox& entry : model_.annotBoxes_) {
    if (AnnotationBoxes::LinesUp(info->box, entry.box, tolerance)) return kWideGap;
  }
  return kNewBlock;
}

void PageModelTextHandler::OnChar(uint32_t code, bool, bool) {
  // White space (control characters included, which usually encode it)
  // counts once, and not at a line's start.
  if (!CharClass::IsNonBlank(code)) {
    const uint32_t size = model_.chars_.Size();
    if (size == lineCharStart_ || model_.chars_[size - 1] == 0x20) return;
    code = 0x20;
  }
  model_.chars_.PushBack(code);
}

void PageModelTextHandler::RunPass() {
  if (!LineState().HoldsText()) return;
  // A line ends at its last printed character.
  while (model_.chars_.Size() > lineCharStart_ && model_.chars_[model_.chars_.Size() - 1] == 0x20) {
    model_.chars_.EraseRange(model_.chars_.Size() - 1, model_.chars_.Size());
  }
  if (engine_.JoinLine(LineState(), lineCharStart_) != TextExtract::kTaken) {
    engine_.FlushBlocks();
    if (engine_.JoinLine(LineState(), lineCharStart_) != TextExtract::kTaken) {
      runtime::ThrowRuntime(runtime::kOverflow);
    }
  }
}

void PageModelTextHandler::CheckLimits() {
  if ((options_ & PageModel::kNoLimits) != 0) return;
  if (engine_.BlocksStarted() <= PageModel::kMaxBlocks && strings_ <= PageModel::kMaxStrings) return;
  Finish();
  runtime::ThrowError(Owner(), runtime::ErrorRecord{runtime::kTextExtractDomain, 0, 1});
}

void PageModelTextHandler::Finish() {
  if (finished_) return;
  finished_ = true;
  RunPass();
  LineState().Reset();
}

}  // namespace content
