#pragma once
// The path consumer that turns moves, lines, cubic curves and closes into
// the monotone edge chains the scan converter buckets and sweeps.
//
// Points arrive in device space. Every line is first clipped against the
// clip box with nine-zone outcodes; pieces outside the box are replaced by
// their projection on the box side (or dropped where no row or column of
// the box can see them), so geometry outside still contributes the right
// winding while every emitted point stays within the box. Only then are
// points mapped (an origin subtracted, then a matrix) into the sub-sampled
// space of the edges. Because of that order a path far beyond the 16.16
// range of the sub-sampled space is clipped rather than wrapped.
//
// Each line costs 500 units of the work budget, so a path of millions of
// segments yields to the other cooperative threads and can be cancelled.
#include <cstdint>
#include <span>

#include "raster/PathGeometry.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/PackedPoint.h"
#include "runtime/ArenaVector.h"
#include "runtime/ClipBox.h"
#include "runtime/EdgeRecord.h"
#include "runtime/EdgeScanner.h"
#include "runtime/Matrix.h"

namespace raster {

using runtime::EdgeRecord;

// An edge whose two ends lie in one sub-row: it paints its extent there.
// Its direction byte is the direction of the chain it belongs to (0 only
// when its whole chain is flat).
inline bool IsFlatEdge(const EdgeRecord* edge) { return (edge->y0 >> 16) == (edge->y1 >> 16); }
// -1 for an edge that runs down, +1 up, 0 flat.
inline int EdgeDirection(const EdgeRecord* edge) {
  return edge->direction == EdgeRecord::kDownward ? -1 : (edge->direction == EdgeRecord::kUpward ? 1 : 0);
}

// Sub-rows are half-open: an edge that ends exactly on the top boundary y
// of a sub-row reaches no further into it, and a flat edge lying exactly on
// that boundary at the foot of such an edge is the bottom of what lies
// above. Walks the chain from `edge` past both; returns the first edge that
// reaches into the sub-row at y, or null when the chain ends above it.
EdgeRecord* FirstEdgeReaching(EdgeRecord* edge, runtime::Fixed y);

// Receives the pieces of a clipped line with the outcode of the part of the
// plane that holds each piece.
class SegmentSink {
 public:
  virtual void Segment(FixedPoint a, FixedPoint b, int zone) = 0;

 protected:
  ~SegmentSink() = default;
};

// Outcodes of a point against a clip box: column part 1 (x < xmin), 2, 4
// (x > xmax) plus row part 32 (y < ymin), 16, 8 (y > ymax); 18 is inside.
namespace Outcode {
inline constexpr int kInside = 18;
int Of(const FixedClipBox& box, FixedPoint p);
// The outside parts (1, 4, 32, 8) both codes share; equal codes give the
// code itself.
int Common(int a, int b);
}  // namespace Outcode

// Cuts a → b at every box line it crosses, in order from a, and hands each
// piece to the sink with its zone. Cut points keep the box coordinate
// exactly; consecutive pieces share their ends.
void SplitSegment(const FixedClipBox& box, SegmentSink& sink, FixedPoint a, int zoneA,
                  FixedPoint b, int zoneB);

class PathEdges {
 public:
  // Clipping modes: 0 projects every outside piece that shares a row or
  // column range with the box; 1-4 keep only what lies beside the box (left
  // and right pieces projected, above and below dropped); 5-8 the same with
  // the axes exchanged. Anything else drops every line.
  PathEdges(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
            runtime::EdgeScanner& edges);

  // Device-space clip box (also the whole-pixel box curves are classified
  // against).
  void SetClip(const runtime::IntRect& box, int mode);
  // Device points are taken relative to this pixel (the raster's origin)
  // before anything else, so that content far from the device origin is
  // mapped as exactly as content near it.
  void SetDeviceOrigin(int32_t x, int32_t y) {
    deviceOriginX_ = int64_t{x} << 16;
    deviceOriginY_ = int64_t{y} << 16;
  }
  void SetClippingOff() { clip_.clippingOff = pixelClip_.clippingOff = true; }
  // Sub-sampled point = matrix(p − origin). `flatness` is the curve
  // tolerance in device units.
  void SetMapping(FixedPoint origin, const runtime::Matrix& matrix, Fixed flatness);

  void MoveTo(FixedPoint p);
  void LineTo(FixedPoint p);
  void CurveTo(FixedPoint p1, FixedPoint p2, FixedPoint p3);
  void ClosePath();
  // Ends the path: closes the open sub-path and finishes its chains.
  void Finish();

  // Feeds the FixedPoint list whose low coordinate bits carry the point kind
  // (x & 1) + 2·(y & 1): 0 move, 1 line, 2 curve (three points), 3 close,
  // each point first mapped into device space by `toDevice` and taken
  // relative to the device origin. Points that land beyond ±16384 pixels of
  // it are not wrapped or merely clamped: the lines that reach them are cut
  // where they leave that square and their outer parts projected onto its
  // sides, which keeps the winding inside.
  void FeedPath(std::span<const FixedPoint> points,
                const runtime::Matrix& toDevice = runtime::kIdentityMatrix);
  // Puts every finished chain into the bucket of its first sub-row within
  // [firstRow, endRow) (sub-sampled rows); returns false, leaving the edges
  // unbucketed, when the shape is empty or lies outside the 16-bit row range.
  bool Bucket(int32_t firstRow, int32_t endRow);

  // Flattens p0..p3 against the box by halving; 0 when it declines (both
  // halves overlap the box), 1 when it handled the curve.
  int FlattenCurve(FixedPoint p0, FixedPoint p1, FixedPoint p2, FixedPoint p3, int depth);

  const runtime::Rect& Bounds() const { return bounds_; }
  bool Enabled() const { return enabled_; }
  uint32_t ChainCount() const { return chains_.Size(); }
  std::span<EdgeRecord* const> Chains() const { return {chains_.begin(), chains_.Size()}; }

 private:
  class ClipSink;
  struct DevicePoint {
    int64_t x = 0, y = 0;
  };
  DevicePoint ToDevice(const runtime::Matrix& m, FixedPoint p) const;
  void LineToDevice(DevicePoint p);
  void CurveToDevice(DevicePoint p1, DevicePoint p2, DevicePoint p3);
  void FarCurve(const double (&p)[8], int depth);
  FixedPoint Map(FixedPoint p) const;
  // Clips a → b and adds what the mode keeps.
  void ClipLine(FixedPoint a, FixedPoint b);
  void AddEdge(FixedPoint a, FixedPoint b);
  void EmitSegment(FixedPoint a, FixedPoint b);
  void LinkEdge(EdgeRecord* edge);
  void CloseChains();
  void Flatten(FixedPoint p0, FixedPoint p1, FixedPoint p2, FixedPoint p3, int depth, bool clip);
  bool IsFlat(FixedPoint p0, FixedPoint p1, FixedPoint p2, FixedPoint p3) const;
  void Chord(FixedPoint a, FixedPoint b, bool clip) {
    if (clip) {
      ClipLine(a, b);
    } else {
      AddEdge(a, b);
    }
  }

  runtime::LibraryContext* context_;
  runtime::ArenaAllocator& arena_;
  runtime::EdgeScanner& edges_;
  bool enabled_ = true;
  int mode_ = 0;
  FixedClipBox clip_;
  runtime::ClipBox pixelClip_;
  FixedPoint origin_{};
  int64_t deviceOriginX_ = 0, deviceOriginY_ = 0;
  runtime::Matrix matrix_{};
  Fixed flatness_ = runtime::kFixedOne / 8;
  runtime::Rect bounds_ = runtime::kEmptyBoundsStart;
  runtime::ArenaVector<EdgeRecord*> chains_;

  DevicePoint deviceCurrent_{}, deviceStart_{};
  bool open_ = false;
  FixedPoint start_{}, current_{};
  uint8_t closing_ = 0;

  // The sub-path's chains: its first edge, the first edge of the chain being
  // built, the last edge emitted, the chain's direction (-1 down, +1 up, 0
  // flat so far) and the first chain's direction.
  EdgeRecord* first_ = nullptr;
  EdgeRecord* chainStart_ = nullptr;
  EdgeRecord* last_ = nullptr;
  int direction_ = 0;
  int firstDirection_ = 0;
  bool severalChains_ = false;
};

// A stored path in the form PathEdges::FeedPath reads, built in an arena.
class StoredPath {
 public:
  StoredPath(runtime::ArenaAllocator& arena, uint32_t capacity = 16) : points_(arena, capacity) {}
  void MoveTo(FixedPoint p) { Push(p, 0); }
  void LineTo(FixedPoint p) { Push(p, 1); }
  void CurveTo(FixedPoint p1, FixedPoint p2, FixedPoint p3) {
    Push(p1, 2);
    Push(p2, 2);
    Push(p3, 2);
  }
  void Close() { Push(last_, 3); }
  std::span<const FixedPoint> Points() const { return {points_.begin(), points_.Size()}; }
  uint32_t Size() const { return points_.Size(); }
  // The last point pushed (coordinates with their kind bits cleared) and its
  // kind; the stroker moves the end of its last line onto a join.
  FixedPoint LastPoint() const { return Coordinates(last_); }
  int LastKind() const { return points_.IsEmpty() ? -1 : KindOf(points_[points_.Size() - 1]); }
  void ReplaceLast(FixedPoint p) {
    if (points_.IsEmpty()) return;
    const int kind = LastKind();
    last_ = p;
    points_[points_.Size() - 1] = {(p.x & ~1) | (kind & 1), (p.y & ~1) | (kind >> 1)};
  }
  void Clear() { points_.Clear(); }

  // A recorded path's points (PackedPoint records) in the form the scan
  // converters read, in the arena; a curve cut short ends the path.
  static std::span<const FixedPoint> FromPacked(runtime::ArenaAllocator& arena, const runtime::PackedPoint* points,
                                                uint32_t count);

  static int KindOf(FixedPoint p) { return (p.x & 1) + 2 * (p.y & 1); }
  static FixedPoint Coordinates(FixedPoint p) { return {p.x & ~1, p.y & ~1}; }

 private:
  void Push(FixedPoint p, int kind) {
    last_ = p;
    points_.PushBack({(p.x & ~1) | (kind & 1), (p.y & ~1) | (kind >> 1)});
  }
  runtime::ArenaVector<FixedPoint> points_;
  FixedPoint last_{};
};

}  // namespace raster
