#pragma once
// Converts runs of pixels from one colour space into another. The colour
// code implements it; the pipeline calls it once per span, so a converter
// keeps its per-pixel loop free of calls.
#include <cstdint>

#include "runtime/PixelBuffer.h"

namespace runtime {

class PixelConverter {
 public:
  virtual ~PixelConverter() = default;
  // Converts `count` (> 0) pixels read from `source` into `destination`,
  // both positioned at the first pixel and moved by their column steps;
  // `format` is the destination buffer's sample-format word.
  virtual void ConvertSpan(const SpanCursor& destination, uint32_t format,
                           const SpanCursor& source, int32_t count) = 0;
};

}  // namespace runtime
