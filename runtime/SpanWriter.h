#pragma once
// Span writers move the pixels of [x0, x1) of the current row from a
// pipeline's output plane (a one-row buffer) into the destination planes.
// A writer is chosen once per pipeline element when a paint is set up, by
// the destination's format, so the per-pixel loops have no tests or calls.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/OutputTargets.h"
#include "runtime/PixelBuffer.h"

namespace runtime {

class SpanWriter {
 public:
  virtual void WriteSpan(int32_t x0, int32_t x1) = 0;

  // The writer for pixels from `source` into `targets`: nothing when there
  // is no source or the destination colour plane is the source itself; 4-byte
  // pixels with colour in bytes 2, 1, 0 and byte 3 opaque when the
  // destination is such a buffer without shape; otherwise one write per
  // plane, shape and alpha opaque.
  static SpanWriter* Select(ArenaAllocator& arena, const OutputTargets& targets,
                            const PlaneView* source);

 protected:
  ~SpanWriter() = default;
};

// Picks a writer for one pipeline element.
using SpanWriterSelector = SpanWriter* (*)(ArenaAllocator& arena, const OutputTargets& targets,
                                           const PlaneView* source);

// Writes nothing: the pixels are already where they belong.
class NullSpanWriter final : public SpanWriter {
 public:
  void WriteSpan(int32_t, int32_t) override {}
};

// Colour channels 0, 1, 2 into bytes 2, 1, 0 of 4-byte destination pixels,
// byte 3 set to 255.
class OpaqueBgrxSpanWriter final : public SpanWriter {
 public:
  OpaqueBgrxSpanWriter(const RowTarget& target, const PlaneView& source)
      : target_(target), source_(source) {}
  void WriteSpan(int32_t x0, int32_t x1) override;

 private:
  const RowTarget& target_;
  const PlaneView& source_;
};

// Shape and alpha channels set to 255; colour channels from the source's
// channels in order, as many as both have.
class OpaquePlanesSpanWriter final : public SpanWriter {
 public:
  OpaquePlanesSpanWriter(const OutputTargets& targets, const PlaneView& source)
      : targets_(targets), source_(source) {}
  void WriteSpan(int32_t x0, int32_t x1) override;

 private:
  const OutputTargets& targets_;
  const PlaneView& source_;
};

}  // namespace runtime
