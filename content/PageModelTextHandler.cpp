#include "content/PageModelTextHandler.h"

#include "content/PageModel.h"
#include "content/TextExtract.h"
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
    case kInPlace:  // blank, repeated or invisible: nothing to add
    case kRuby:     // an annotation beside the line, not part of its text
      return 0;
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

void PageModelTextHandler::EndGlyphs(bool) {
  textRecorded_ = true;
  model_.hasText_ = true;
}

void PageModelTextHandler::OnChar(uint32_t code, bool, bool) {
  // Control characters stand for the white space they usually encode.
  model_.chars_.PushBack(code < 0x20 ? 0x20 : code);
}

void PageModelTextHandler::RunPass() {
  if (!LineState().HoldsText()) return;
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
