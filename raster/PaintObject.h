#pragma once
// The coverage node of one painted path.
#include <cstdint>
#include <span>

#include "raster/PathScanConverter.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Matrix.h"
#include "runtime/StrokeStyle.h"

namespace raster {

struct PaintObject {
  // The coverage of a filled path (a StoredPath point list mapped into
  // device space by `matrix`) over `area`, as a pipeline node. Strokes reach
  // this as the outline the stroker makes of them, filled non-zero.
  static ScanConverter* Create(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                               const IntRect& area, std::span<const runtime::FixedPoint> path,
                               const runtime::Matrix& matrix, bool evenOdd);
  // The coverage of the path stroked with `style` (user-space path, mapped
  // by `matrix`): the stroke's outline filled non-zero; hairlines are one
  // device pixel wide.
  static ScanConverter* CreateStroke(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                     const IntRect& area, std::span<const runtime::FixedPoint> path,
                                     const runtime::StrokeStyle& style, const runtime::Matrix& matrix);
};

}  // namespace raster
