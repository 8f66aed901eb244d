#pragma once
// Recursive subdivision of a painted part (a shading patch, a mesh cell):
// a part is split in two while the painter asks for it and each half is
// painted the same way; a part not split is painted as a leaf. The split
// test and the leaf painting are the painter's; this only follows their
// answers, with the depth bounded so that a split test that never says
// stop cannot recurse without end.
#include <cstdint>

#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"

namespace raster {

// Halvings beyond this are not made: 2^20 leaves per part already reach
// below the pixels of any device.
inline constexpr int32_t kMaxSubdivisionDepth = 20;

// `Painter` offers: bool IsFinal(const Part&), bool Split(const Part&,
// Part& first, Part& second) (false: paint the part whole) and
// void PaintLeaf(const Part&).
template <class Painter, class Part>
void SubdivideAndPaint(Painter& painter, bool subdivide, const Part& part, runtime::LibraryContext* context,
                       int32_t depth) {
  runtime::CheckStackSpace(context->scheduler);
  if (subdivide && depth < kMaxSubdivisionDepth && !painter.IsFinal(part)) {
    Part first, second;
    if (painter.Split(part, first, second)) {
      SubdivideAndPaint(painter, subdivide, first, context, depth + 1);
      SubdivideAndPaint(painter, subdivide, second, context, depth + 1);
      return;
    }
  }
  painter.PaintLeaf(part);
}

}  // namespace raster
