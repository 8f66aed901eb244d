#pragma once
// The line being filled in a flow column: its elements in order, the last
// place where it may break, and its width. The column asks whether the
// next element fits, and places the line (or the part before the break)
// when it does not.
#include <cstdint>

#include "content/FlowElement.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"

namespace content {

class LineBuilder {
 public:
  LineBuilder(runtime::ArenaAllocator& arena, runtime::Fixed availableWidth);

  bool IsEmpty() const { return elements_.IsEmpty(); }
  uint32_t Size() const { return elements_.Size(); }
  FlowElement& At(uint32_t i) const { return *elements_[i]; }
  runtime::Fixed CurrentWidth() const { return width_; }
  runtime::Fixed AvailableWidth() const { return available_; }

  // Whether `element` fits on the line; records a break just before it
  // when the line may break there.
  bool Fits(FlowElement& element);
  void Append(FlowElement& element);
  // Where to cut the line: after the recorded break, or the whole line.
  uint32_t BreakPosition() const;
  // Places the elements before `position` from (x, y) and removes them.
  void PlaceLine(runtime::Fixed x, runtime::Fixed y, uint32_t position);

  // Lets consecutive elements of a run share one placement entry only
  // when they were placed side by side on the page; set, every element
  // gets an entry of its own.
  bool keepRuns = false;

 private:
  runtime::ArenaVector<FlowElement*> elements_;
  uint32_t breakCursor_ = 0;
  runtime::Fixed available_;
  runtime::Fixed width_ = 0;
};

}  // namespace content
