#pragma once
// The stroking side's form of one sub-path: line and cubic segments, each
// with the parameter range of it that is used, which the dasher cuts at
// arc-length positions and the stroker walks forwards and backwards.
//
// While it is filled, segments lying wholly in one outside zone of the
// stroke's clip box are dropped (solid strokes only) and the gaps they
// leave are bridged by lines that are no vertices of the given path, so
// that off-screen parts of long paths are never offset.
#include <cstdint>
#include <span>

#include "raster/StrokeParameters.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"

namespace raster {

struct StrokeSegment {
  enum Kind : uint8_t { kLine = 2, kCubic = 4 };
  enum Flags : uint8_t { kStartIsVertex = 1, kEndIsVertex = 2 };
  // Two points for a line, four for a cubic. Records cut from another
  // share its points by copying them with the record.
  FixedPoint points[4];
  Fixed t0 = 0;
  Fixed t1 = runtime::kFixedOne;
  uint8_t kind = kLine;
  uint8_t flags = 0;

  bool IsCurve() const { return kind == kCubic; }
  FixedPoint At(Fixed t) const;
  FixedPoint Start() const { return At(t0); }
  FixedPoint End() const { return At(t1); }
  // All of the used part's defining points coincide.
  bool IsDegenerate() const;
};

// A place on a path: segment index and parameter.
struct PathPosition {
  uint32_t segment = 0;
  Fixed t = 0;
  // On a line: the arc length walked from the segment's start parameter,
  // kept exactly so that many short intervals do not drift.
  int64_t along = 0;
};

class SegmentPath {
 public:
  SegmentPath(runtime::ArenaAllocator& arena, const StrokeParameters& params)
      : params_(&params), segments_(arena, 16) {}

  void LineTo(FixedPoint a, FixedPoint b);
  void CurveTo(FixedPoint p0, FixedPoint p1, FixedPoint p2, FixedPoint p3);
  // The cubic flattened into lines that carry `flags`.
  void CurveToFlat(FixedPoint p0, FixedPoint p1, FixedPoint p2, FixedPoint p3, uint8_t flags = 3);
  void ClosePath(FixedPoint a, FixedPoint b);
  void Bridge(FixedPoint p);
  // Appends the part of `source` between two positions (from <= to).
  void ExtractRange(const SegmentPath& source, PathPosition from, PathPosition to);
  // Moves `position` on by `length` of arc length; true when the end of the
  // path came first (the position is then the path's end and `left`
  // receives what remained).
  bool Advance(PathPosition& position, Fixed length, Fixed& left) const;
  void Clear();

  std::span<const StrokeSegment> Segments() const { return {segments_.begin(), segments_.Size()}; }
  uint32_t Count() const { return segments_.Size(); }
  StrokeSegment& MutableSegment(uint32_t index) { return segments_.AtChecked(index); }
  bool IsEmpty() const { return segments_.IsEmpty(); }
  bool closed = false;
  bool lastIsCurve = false;
  const StrokeParameters& Params() const { return *params_; }

 private:
  bool Culled(FixedPoint a, FixedPoint b) const;
  void Push(const StrokeSegment& segment);
  void Flatten(const FixedPoint p[4], int depth, uint8_t flags);

  const StrokeParameters* params_;
  runtime::ArenaVector<StrokeSegment> segments_;
};

// Curve routines the stroker and the dasher share.
namespace CurveMeasure {
// The parameter reached after `distance` of arc length along the segment
// from `start` (never beyond its end parameter); `left` receives the part of
// the distance that remains when the end comes first. Cubic speeds are
// sampled every `step` of parameter.
Fixed AdvanceByLength(const StrokeSegment& segment, Fixed distance, Fixed step, Fixed start, Fixed& left);
// Appends to `out` (three points per piece: two controls and the end) the
// circle of `radius` about the midpoint of a and e, from b to f; nothing for
// a radius below 1/65536. Returns the number of points appended (at most
// 12).
int ArcToCubics(FixedPoint a, FixedPoint b, FixedPoint e, FixedPoint f, Fixed radius, FixedPoint out[12]);
}  // namespace CurveMeasure

}  // namespace raster
