#pragma once
// Clipping paths gathered into one clip: rectangles on whole pixels stay a
// pixel region; the first other path clips through its own coverage; from
// the second on, the coverages are multiplied into a one-byte mask over the
// region of interest.
#include <cstdint>
#include <span>

#include "raster/PipelineNode.h"
#include "raster/PixelRegion.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Matrix.h"
#include "runtime/StrokeStyle.h"
#include "content/ContentMachine.h"

namespace raster {

class ClipAccumulator {
 public:
  ClipAccumulator(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, const PixelRegion& interest);

  // Adds one clipping path (the FixedPoint list of StoredPath, mapped by
  // `matrix` into device space) under the even-odd rule or non-zero.
  void AddPath(std::span<const runtime::FixedPoint> points, const runtime::Matrix& matrix, bool evenOdd);
  // Adds a clip that is already a coverage node (the clip in force, to be
  // intersected with the paths that follow).
  void AddCoverage(PipelineNode* coverage);
  // Adds the area a stroke of the path would paint (stroke-as-clip): the
  // stroke's outline clips exactly as it would fill.
  void AddStroke(std::span<const runtime::FixedPoint> points, const runtime::StrokeStyle& style,
                 const runtime::Matrix& matrix);

  // Walks a recorded program from `cursor` and adds every clipping path it
  // meets that paints nothing else ("W n", "W* n"), mapped by `matrix`.
  // Marked-content records on the way are played into `handler` when one
  // is given; the walk ends silently at the first other record (a path that
  // also fills or strokes, a state change) or at the program's end, with
  // the cursor on it. Paths recorded by position are read again through
  // `slot` (none: the walk ends there). Malformed records are (runtime, 2).
  void Replay(content::ContentMachine& machine, content::ProgramCursor& cursor, content::PathCacheSlot* slot,
              const runtime::Matrix& matrix, content::ContentHandler* handler = nullptr);

  // The clip node (null while only rectangles were added) and the region.
  PipelineNode* ClipNode() const { return clipNode_; }
  const PixelRegion& ClipRegion() const { return *clipRegion_; }
  bool HasMask() const { return mask_ != nullptr; }
  int PathCount() const { return pathCount_; }

 private:
  runtime::LibraryContext* context_;
  runtime::ArenaAllocator& arena_;
  const PixelRegion& interest_;
  PipelineNode* clipNode_ = nullptr;
  const PixelRegion* clipRegion_;
  PixelPlane* mask_ = nullptr;
  int pathCount_ = 0;
};

// The whole-pixel rectangle a path describes in device space, if it is one:
// a single sub-path of four distinct corners on whole pixels whose sides
// alternate horizontal and vertical and enclose a non-empty area.
bool PathIsPixelRectangle(std::span<const runtime::FixedPoint> points, const runtime::Matrix& matrix,
                          IntRect& out);

}  // namespace raster
