#pragma once
// Turns a stroked path into the outline that is filled in its place: the
// stroke geometry is set up for the matrix, every sub-path is read into a
// SegmentPath, dashed when the style has a dash pattern, and stroked.
#include <cstdint>
#include <span>

#include "raster/PathEdges.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"
#include "runtime/StrokeStyle.h"

namespace raster {

struct StrokeDriver {
  enum Result : int {
    kFillPath = 0,     // nothing to stroke: fill the path as it stands
    kOutline = 1,      // fill `outline` non-zero at the usual resolution
    kThinOutline = 2,  // a hairline outline, one device pixel wide
  };
  // Device widths are limited to this many pixels: wider strokes cover any
  // view just the same, and their geometry stays inside the 16.16 range.
  static constexpr int32_t kMaxDeviceWidth = 16384;

  // `path` is a StoredPath point list in user space; `deviceClip` the
  // device pixels that can show. The outline is written to `outline`, to be
  // mapped to the device by `fillMatrix` (the matrix, scaled back when the
  // width had to be rescaled). Each input segment charges the work budget.
  static int StrokePath(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                        std::span<const runtime::FixedPoint> path, const runtime::StrokeStyle& style,
                        const runtime::Matrix& matrix, const runtime::IntRect& deviceClip, StoredPath& outline,
                        runtime::Matrix& fillMatrix);
};

}  // namespace raster
