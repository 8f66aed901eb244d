#pragma once
// The elements of a painter's pixel pipeline. Every element answers the
// same operations: SetRow (y) positions it on a row, NextRow moves it one
// row down, Span (x0, x1) makes the pixels of [x0, x) of the current row
// and returns x (which may stop short of x1), Begin and End bracket a paint.
// Calls are per span, never per pixel: an element fills a whole run into
// its output plane in one call.
//
// The header every producing element carries: its output elements (each a
// plane that holds what the last Span made), the bounds it produces within,
// a mode word, the index of the element the last Span wrote, and the begun
// word through which Begin and End pass down at most once.
#include <cstdint>

#include "runtime/PixelBuffer.h"
#include "runtime/Rect.h"

namespace runtime {

// One output of an element: the plane its pixels are in.
struct PipelineElement {
  const PlaneView* view = nullptr;
  uint32_t format = 0;
};

class PixelPipeline {
 public:
  virtual ~PixelPipeline() = default;
  virtual void SetRow(int32_t y) = 0;
  virtual void NextRow() = 0;
  virtual int32_t Span(int32_t x0, int32_t x1) = 0;
  virtual void Begin(uintptr_t /*argument*/) {}
  virtual void End() {}

  void InitHeader(uint32_t count, PipelineElement* elements, const IntRect& bounds, uint32_t mode);
  // The plane the last Span wrote, or null when the element has none.
  const PlaneView* OutputView() const {
    return currentElement < elementCount ? elements[currentElement].view : nullptr;
  }

  // Runs `stage` over a rectangle: SetRow on the top row, the spans of each
  // row from left to right, NextRow after each row. A span that makes no
  // progress ends its row instead of being asked again.
  static void RunRect(PixelPipeline& stage, const IntRect& rect);

  uint32_t elementCount = 0;
  PipelineElement* elements = nullptr;
  IntRect bounds;
  uint32_t mode = 0;
  uint32_t currentElement = 0;
  uintptr_t begun = 0;  // non-zero between a downstream Begin and End
};

}  // namespace runtime
