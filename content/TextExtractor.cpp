#include "content/TextExtractor.h"

#include "content/TextRun.h"
#include "runtime/ErrorTrap.h"

namespace content {

TextExtractor::TextExtractor(TextPage& page, int32_t pageIndex, const runtime::TextRange& range,
                             TextOutline& outline)
    : TextHandler(page, 0, pageIndex, false, false), range_(range), outline_(outline) {}

int TextExtractor::BeginString(bool isRepeat, bool fontHasUnicode, bool isVisible) {
  if (runtime::TextPosition::Greater(Position(), range_.end)) {
    runtime::ThrowError(Owner(), runtime::ErrorRecord{runtime::kTextExtractDomain, 0, 1});
  }
  return !isRepeat && fontHasUnicode && isVisible ? 1 : 0;
}

void TextExtractor::OnChar(uint32_t, bool, bool) {
  runtime::TextPosition at = Position();
  at.after = 0;
  const bool inside = !runtime::TextPosition::Less(at, range_.start) && !runtime::TextPosition::Greater(at, range_.end);
  // The end of a range is the place after its last character: that
  // character is inside only when the end carries the after flag.
  const bool atOpenEnd = runtime::TextPosition::Equals(at, range_.end) && range_.end.after == 0 &&
                         !runtime::TextPosition::Equals(range_.start, range_.end);
  if (!inside || atOpenEnd) {
    CloseRun();
    return;
  }
  runtime::FixedPoint corners[4];
  CurrentRun()->GlyphCorners(CurrentGlyphIndex(), corners);
  if (!runOpen_) {
    runOpen_ = true;
    for (int i = 0; i < 4; ++i) runStart_[i] = corners[i];
  }
  for (int i = 0; i < 4; ++i) runEnd_[i] = corners[i];
  for (int i = 0; i < 4; ++i) lastBox_[i] = corners[i];
  hasLastBox_ = true;
  if (!first_.HasValue()) first_.Assign(at);
  last_.Assign(at);
}

void TextExtractor::CloseRun() {
  if (!runOpen_) return;
  runOpen_ = false;
  // start on the descent line, end on it, end on the ascent line, start
  // on it, closed.
  const runtime::FixedPoint points[4] = {runStart_[0], runEnd_[1], runEnd_[2], runStart_[3]};
  for (int i = 0; i < 4; ++i) {
    runtime::PackedPoint point;
    runtime::PackedPoint::Pack(point, points[i].x, points[i].y,
                               i == 0 ? runtime::PackedPoint::kMove : runtime::PackedPoint::kLine);
    outline_.PushBack(point);
  }
  runtime::PackedPoint close;
  runtime::PackedPoint::Pack(close, points[0].x, points[0].y, runtime::PackedPoint::kClose);
  outline_.PushBack(close);
}

}  // namespace content
