#pragma once
// The stroker: one sub-path of a SegmentPath becomes a closed outline,
// filled afterwards with the non-zero rule. The sub-path is walked forwards
// along its left side and backwards along the other, every segment offset
// by half the line width (curves piece by piece by fitted offset cubics),
// consecutive pieces joined by the style's join and open ends capped.
// Every contour it emits runs the same way round, so that overlapping
// sub-paths and dashes never cancel under the non-zero rule.
#include <cstdint>

#include "raster/OffsetCurve.h"
#include "raster/PathEdges.h"
#include "raster/SegmentPath.h"

namespace raster {

// Receives whole sub-paths: the stroker, or the dasher in front of it.
class SubpathConsumer {
 public:
  virtual void ProcessPath(const SegmentPath& path, uint32_t flags) = 0;

 protected:
  ~SubpathConsumer() = default;
};

class Stroker final : public SubpathConsumer {
 public:
  // At most this many pieces are cut from one segment.
  static constexpr int kMaxPieces = 16383;

  Stroker(runtime::ArenaAllocator& arena, const StrokeParameters& params, StoredPath& outline)
      : context_(arena.Context()), params_(params), out_(outline), trimmed_(arena, params) {}

  void ProcessPath(const SegmentPath& path, uint32_t) override { StrokeSubpath(path); }
  void StrokeSubpath(const SegmentPath& path);

 private:
  struct Piece {
    bool curve = false;
    OffsetPiece offset;
  };
  // One pass; start mode 0 moves to the first offset point, 1 draws a line
  // to it, 2 draws nothing. True when a piece was found.
  bool StrokePass(const SegmentPath& path, bool backward, int startMode, bool stopAfterFirst);
  void DrawPiece(const Piece& piece);
  // `newEnd` is the offset end of the new piece when it is a line.
  void Join(FixedPoint newStart, FixedPoint centre, bool styled, const FixedPoint* newEnd = nullptr);
  void MiterJoin(FixedPoint newStart, FixedPoint centre, FixedPoint n1, FixedPoint n2);
  void RoundJoin(FixedPoint newStart, FixedPoint centre, FixedPoint n1, FixedPoint n2);
  void Cap();
  void HalfDisc(FixedPoint centre, FixedPoint normal);
  void SingleLine(const StrokeSegment& segment);
  void Dot(FixedPoint centre);
  void ResetPass() {
    vertices_ = 0;
    lastBoundary_ = false;
    lastWasLine_ = false;
  }

  // The sub-path with its butt ends pulled back, or the path itself.
  const SegmentPath& TrimButtEnds(const SegmentPath& path);

  runtime::LibraryContext* context_;
  const StrokeParameters& params_;
  StoredPath& out_;
  SegmentPath trimmed_;
  int vertices_ = 0;
  FixedPoint lastOffset_{}, lastCentre_{};
  bool lastBoundary_ = false;
  // The start of the last outline element when it is a line piece.
  bool lastWasLine_ = false;
  FixedPoint lastLineStart_{};
};

}  // namespace raster
