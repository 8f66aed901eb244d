#pragma once
// A pipeline element that turns what an upstream element produces into
// another colour space, span by span, into a one-row buffer of its own.
// The pipeline puts one in front of a source whose colour space differs
// from the target's.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/PixelBuffer.h"
#include "runtime/PixelConverter.h"
#include "runtime/PixelPipeline.h"

namespace runtime {

class ConvertingSource final : public PixelPipeline {
 public:
  // Converts the pixels of `upstream` (within `area`'s columns) with
  // `converter` into a one-row buffer laid out by `layout`, whose colour
  // plane is this element's output for every element of the upstream.
  ConvertingSource(LibraryContext* context, ArenaAllocator& arena, PixelPipeline& upstream,
                   PixelConverter& converter, const IntRect& area, const PixelLayout& layout);

  // The converted row is made span by span; rows need no positioning.
  void SetRow(int32_t) override {}
  void NextRow() override {}
  // Asks the upstream for [x0, x1), converts what it made, [x0, e), and
  // returns e. An upstream that made pixels but has no plane to show them
  // in made nothing usable: the run is cleared instead of converted.
  int32_t Span(int32_t x0, int32_t x1) override;
  // Passes down to the upstream once, guarded by its begun word.
  void Begin(uintptr_t argument) override;
  void End() override;

  const PixelBuffer& Buffer() const { return buffer_; }

 private:
  LibraryContext* context_;
  PixelPipeline& upstream_;
  PixelConverter& converter_;
  PixelBuffer buffer_;
};

}  // namespace runtime
