#include "content/LineBuilder.h"

namespace content {

LineBuilder::LineBuilder(runtime::ArenaAllocator& arena, runtime::Fixed availableWidth)
    : elements_(arena, 32), available_(availableWidth) {}

bool LineBuilder::Fits(FlowElement& element) {
  if (!elements_.IsEmpty()) {
    const FlowElement& last = *elements_[elements_.Size() - 1];
    const bool opportunity = last.IsBreaking() || (last.IsCjk() && !element.IsCjk());
    if (opportunity && last.MayEndLine() && element.MayStartLine() && element.IsInk()) {
      breakCursor_ = elements_.Size();
    }
  }
  // Spaces and breaks never force a new line.
  if (!element.IsInk()) return true;
  return static_cast<int64_t>(width_) + element.Width() <= available_;
}

void LineBuilder::Append(FlowElement& element) {
  elements_.PushBack(&element);
  // Once the line is full its width stops growing, so a long line cannot
  // overflow it.
  if (width_ < available_) width_ = runtime::FixedAddSat(width_, element.Width());
}

uint32_t LineBuilder::BreakPosition() const { return breakCursor_ != 0 ? breakCursor_ : elements_.Size(); }

void LineBuilder::PlaceLine(runtime::Fixed x, runtime::Fixed y, uint32_t position) {
  if (position > elements_.Size()) position = elements_.Size();
  if (position == 0) return;
  elements_[0]->MarkLineStart();
  runtime::Fixed base = elements_[0]->BaselineOffset();
  bool continued = true;
  for (uint32_t i = 0; i < position; ++i) {
    FlowElement& element = *elements_[i];
    if (element.StartsBlock()) base = element.BaselineOffset();
    // Raised and lowered text keeps its offset within the line.
    const runtime::Fixed offset = runtime::FixedSubSat(element.BaselineOffset(), base);
    if (element.IsReversed()) {
      x = runtime::FixedAddSat(x, element.Width());
      continued = true;
    }
    element.Place(x, runtime::FixedAddSat(y, offset), continued || base != 0);
    // One step per element: elements past the right edge pile up there,
    // and a zero-width element cannot hold the pen.
    if (x < available_) x = runtime::FixedAddSat(x, element.Width());
    continued = keepRuns || element.FollowedByGap();
  }
  for (uint32_t i = 0; i < position; ++i) elements_[i]->Retire();
  elements_.EraseRange(0, position);
  breakCursor_ = 0;
  width_ = 0;
  for (FlowElement* element : elements_) width_ = runtime::FixedAddSat(width_, element->Width());
}

}  // namespace content
