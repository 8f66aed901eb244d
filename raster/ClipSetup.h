#pragma once
// The clip of a rectangle (the page's or a form's box, an annotation's
// rectangle) in device space: a pixel region when the rectangle falls on
// whole pixels, a coverage node of its outline when it does not or when
// the matrix turns it. A failed allocation raises (runtime, 0): it never
// yields "no clip node", which would paint unclipped.
#include <cstdint>

#include "raster/PipelineNode.h"
#include "raster/PixelRegion.h"
#include "runtime/Matrix.h"

namespace raster {

struct ClipSetup {
  struct Result {
    PipelineNode* node = nullptr;          // null: the region alone clips
    const PixelRegion* region = nullptr;  // never null
  };

  // The clip in force (`region`, `node`) narrowed by `rect` mapped through
  // `ctm`. A clip that already has a node is kept as it is; a rectangle
  // holding the whole clip changes nothing.
  static Result RectClip(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, const runtime::Rect& rect,
                         const runtime::Matrix& ctm, const PixelRegion& region, PipelineNode* node);
};

}  // namespace raster
