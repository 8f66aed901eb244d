#include "raster/PathEdges.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "runtime/Scheduler.h"

namespace raster {

using runtime::FixedSubSat;
using runtime::kFixedOne;

namespace {

// Units of work budget one line (or curve) costs.
constexpr int32_t kLineWork = 500;
// Curves are halved at most this deep: 65536 chords.
constexpr int kMaxCurveDepth = 16;
// Mapped coordinates are kept within ±32767.0 so that rows, extents and
// slopes never wrap.
constexpr int64_t kMappedLimit = 0x7fff0000;

}  // namespace

namespace Outcode {

int Of(const FixedClipBox& box, FixedPoint p) {
  if (box.clippingOff) return kInside;
  const int column = p.x < box.xmin ? 1 : (p.x > box.xmax ? 4 : 2);
  const int row = p.y < box.ymin ? 32 : (p.y > box.ymax ? 8 : 16);
  return column + row;
}

int Common(int a, int b) {
  if (a == b) return a;
  return a & b & (1 | 4 | 32 | 8);
}

}  // namespace Outcode

namespace {

int ColumnOf(int zone) { return zone & 7; }
int RowOf(int zone) { return zone & 56; }

// The walk of SplitSegment: a start s in zone z and the working line s → b.
class SegmentSplitter {
 public:
  SegmentSplitter(const FixedClipBox& box, SegmentSink& sink, FixedPoint a, int zoneA, FixedPoint b,
                  int zoneB)
      : box_(box), sink_(sink), line_(a, b), s_(a), z_(zoneA), b_(b), zb_(zoneB) {}

  void Run() {
    if (z_ == zb_) {
      sink_.Segment(s_, b_, z_);
      return;
    }
    const int c = ColumnOf(z_);
    if (c != 2) {
      if (ColumnOf(zb_) == c) {
        FinishInColumn(c + 16);
        return;
      }
      LeaveSideColumn(c);
    }
    if (z_ == zb_) {
      sink_.Segment(s_, b_, z_);
      return;
    }
    if (ColumnOf(zb_) == 2) {
      FinishInColumn(18);
      return;
    }
    CrossMiddleColumn(ColumnOf(zb_));
    if (z_ == zb_) {
      sink_.Segment(s_, b_, z_);
    } else {
      FinishInColumn(ColumnOf(zb_) + 16);
    }
  }

 private:
  FixedPoint AtYmax() { return {line_.XAtY(box_.ymax), box_.ymax}; }
  FixedPoint AtYmin() { return {line_.XAtY(box_.ymin), box_.ymin}; }
  void Piece(FixedPoint to, int zone) {
    sink_.Segment(s_, to, zone);
    s_ = to;
  }
  void Continue(FixedPoint p, int zone) {
    s_ = p;
    z_ = zone;
    line_.Rebase(p);
  }

  // From s to b within one column: only horizontal box lines lie between.
  void FinishInColumn(int middleZone) {
    const int row = RowOf(z_), rowB = RowOf(zb_);
    if (row == 8) {
      Piece(AtYmax(), z_);
      if (rowB == 32) Piece(AtYmin(), middleZone);
    } else if (row == 32) {
      Piece(AtYmin(), z_);
      if (rowB == 8) Piece(AtYmax(), middleZone);
    } else {
      Piece(rowB == 8 ? AtYmax() : AtYmin(), z_);
    }
    sink_.Segment(s_, b_, zb_);
  }

  // From a side column c (1 or 4) into the middle column.
  void LeaveSideColumn(int c) {
    const Fixed x = c == 1 ? box_.xmin : box_.xmax;
    Fixed yv = line_.YAtX(x);
    const int row = RowOf(z_);
    if (row == 8) {
      if (yv > box_.ymax) {
        Piece({x, yv}, z_);
        Continue({x, yv}, 10);
        return;
      }
      Piece(AtYmax(), z_);
      line_.Rebase(s_);
      yv = line_.YAtX(x);
      if (yv < box_.ymin) {
        Piece(AtYmin(), c + 16);
        Piece({x, yv}, c + 32);
        Continue({x, yv}, 34);
      } else {
        Piece({x, yv}, c + 16);
        Continue({x, yv}, 18);
      }
    } else if (row == 32) {
      if (yv < box_.ymin) {
        Piece({x, yv}, z_);
        Continue({x, yv}, 34);
        return;
      }
      Piece(AtYmin(), z_);
      line_.Rebase(s_);
      yv = line_.YAtX(x);
      if (yv > box_.ymax) {
        Piece(AtYmax(), c + 16);
        Piece({x, yv}, c + 8);
        Continue({x, yv}, 10);
      } else {
        Piece({x, yv}, c + 16);
        Continue({x, yv}, 18);
      }
    } else if (yv < box_.ymin) {
      Piece(AtYmin(), z_);
      Piece({x, yv}, c + 32);
      Continue({x, yv}, 34);
    } else if (yv > box_.ymax) {
      Piece(AtYmax(), z_);
      Piece({x, yv}, c + 8);
      Continue({x, yv}, 10);
    } else {
      Piece({x, yv}, z_);
      Continue({x, yv}, 18);
    }
  }

  // From the middle column into side column c (1 or 4); the cuts of this
  // step all come from one line.
  void CrossMiddleColumn(int c) {
    const Fixed x = c == 1 ? box_.xmin : box_.xmax;
    const Fixed yv = line_.YAtX(x);
    if (z_ == 10) {
      if (yv < box_.ymax) {
        Piece(AtYmax(), 10);
        if (yv < box_.ymin) {
          Piece(AtYmin(), 18);
          Piece({x, yv}, 34);
          Continue({x, yv}, c + 32);
        } else {
          Piece({x, yv}, 18);
          Continue({x, yv}, c + 16);
        }
      } else {
        Piece({x, yv}, 10);
        Continue({x, yv}, c + 8);
      }
    } else if (z_ == 34) {
      if (yv > box_.ymin) {
        Piece(AtYmin(), 34);
        if (yv > box_.ymax) {
          Piece(AtYmax(), 18);
          Piece({x, yv}, 10);
          Continue({x, yv}, c + 8);
        } else {
          Piece({x, yv}, 18);
          Continue({x, yv}, c + 16);
        }
      } else {
        Piece({x, yv}, 34);
        Continue({x, yv}, c + 32);
      }
    } else if (yv > box_.ymax) {
      Piece(AtYmax(), 18);
      Piece({x, yv}, 10);
      Continue({x, yv}, c + 8);
    } else if (yv < box_.ymin) {
      Piece(AtYmin(), 18);
      Piece({x, yv}, 34);
      Continue({x, yv}, c + 32);
    } else {
      Piece({x, yv}, 18);
      Continue({x, yv}, c + 16);
    }
  }

  const FixedClipBox& box_;
  SegmentSink& sink_;
  LineSlope line_;
  FixedPoint s_;
  int z_;
  FixedPoint b_;
  int zb_;
};

Fixed ClampMapped(int64_t v) {
  return static_cast<Fixed>(std::clamp(v, -kMappedLimit, kMappedLimit));
}

}  // namespace

EdgeRecord* FirstEdgeReaching(EdgeRecord* edge, Fixed y) {
  bool passed = false;
  while (edge != nullptr) {
    const bool above = IsFlatEdge(edge) ? edge->y1 < y || (passed && edge->y0 == y && edge->y1 == y)
                                        : edge->y1 <= y;
    if (!above) break;
    edge = edge->chain;
    passed = true;
  }
  return edge;
}

void SplitSegment(const FixedClipBox& box, SegmentSink& sink, FixedPoint a, int zoneA,
                  FixedPoint b, int zoneB) {
  SegmentSplitter(box, sink, a, zoneA, b, zoneB).Run();
}

// Turns clipped pieces into edges by the clipping mode's rules.
class PathEdges::ClipSink final : public SegmentSink {
 public:
  explicit ClipSink(PathEdges& owner) : owner_(owner) {}
  void Segment(FixedPoint a, FixedPoint b, int zone) override {
    const FixedClipBox& box = owner_.clip_;
    const int mode = owner_.mode_;
    const bool sides = mode <= 4;     // modes 0-4 keep left and right pieces
    const bool aboveBelow = mode == 0 || mode >= 5;
    switch (zone) {
      case 18:
        owner_.AddEdge(a, b);
        break;
      case 17:
        if (sides) owner_.AddEdge({box.xmin, a.y}, {box.xmin, b.y});
        break;
      case 20:
        if (sides) owner_.AddEdge({box.xmax, a.y}, {box.xmax, b.y});
        break;
      case 10:
        if (aboveBelow) owner_.AddEdge({a.x, box.ymax}, {b.x, box.ymax});
        break;
      case 34:
        if (aboveBelow) owner_.AddEdge({a.x, box.ymin}, {b.x, box.ymin});
        break;
      default:
        break;  // corner pieces: no row or column of the box sees them
    }
  }

 private:
  PathEdges& owner_;
};

PathEdges::PathEdges(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                     runtime::EdgeScanner& edges)
    : context_(context), arena_(arena), edges_(edges), chains_(arena, 16) {
  clip_.clippingOff = true;
  pixelClip_.clippingOff = true;
}

void PathEdges::SetClip(const runtime::IntRect& box, int mode) {
  mode_ = mode;
  pixelClip_.box = box;
  pixelClip_.clippingOff = false;
  clip_ = {runtime::FixedFromIntSat(box.x0), runtime::FixedFromIntSat(box.y0),
           runtime::FixedFromIntSat(box.x1), runtime::FixedFromIntSat(box.y1), false};
}

void PathEdges::SetMapping(FixedPoint origin, const runtime::Matrix& matrix, Fixed flatness) {
  origin_ = origin;
  matrix_ = matrix;
  flatness_ = std::max<Fixed>(flatness, 16);
}

FixedPoint PathEdges::Map(FixedPoint p) const {
  const int64_t x = int64_t{p.x} - origin_.x;
  const int64_t y = int64_t{p.y} - origin_.y;
  return {ClampMapped(((matrix_.a * x + matrix_.c * y) >> 16) + matrix_.e),
          ClampMapped(((matrix_.b * x + matrix_.d * y) >> 16) + matrix_.f)};
}

void PathEdges::MoveTo(FixedPoint p) {
  closing_ = 1;
  ClosePath();
  closing_ = 0;
  CloseChains();
  open_ = true;
  start_ = current_ = p;
}

void PathEdges::LineTo(FixedPoint p) {
  runtime::ChargeWork(context_, kLineWork);
  if (!open_) return;
  const FixedPoint from = current_;
  current_ = p;
  ClipLine(from, p);
}

void PathEdges::ClipLine(FixedPoint a, FixedPoint b) {
  if (a == b || mode_ < 0 || mode_ > 8) return;
  const int c0 = Outcode::Of(clip_, a);
  const int c1 = Outcode::Of(clip_, b);
  if (c0 == Outcode::kInside && c1 == Outcode::kInside) {
    AddEdge(a, b);
    return;
  }
  const int common = Outcode::Common(c0, c1);
  ClipSink sink(*this);
  if (mode_ == 0) {
    SplitSegment(clip_, sink, a, c0, b, c1);
  } else if (mode_ >= 1 && mode_ <= 4) {
    if ((common & (32 | 8)) != 0) return;
    if ((common & (1 | 4)) != 0) {
      const Fixed x = (common & 1) != 0 ? clip_.xmin : clip_.xmax;
      auto clampY = [&](FixedPoint p, int code) {
        return (code & 8) != 0 ? clip_.ymax : ((code & 32) != 0 ? clip_.ymin : p.y);
      };
      AddEdge({x, clampY(a, c0)}, {x, clampY(b, c1)});
      return;
    }
    SplitSegment(clip_, sink, a, c0, b, c1);
  } else if (mode_ >= 5 && mode_ <= 8) {
    if ((common & (1 | 4)) != 0) return;
    if ((common & (32 | 8)) != 0) {
      const Fixed y = (common & 8) != 0 ? clip_.ymax : clip_.ymin;
      auto clampX = [&](FixedPoint p, int code) {
        return (code & 4) != 0 ? clip_.xmax : ((code & 1) != 0 ? clip_.xmin : p.x);
      };
      AddEdge({clampX(a, c0), y}, {clampX(b, c1), y});
      return;
    }
    SplitSegment(clip_, sink, a, c0, b, c1);
  }
}

void PathEdges::AddEdge(FixedPoint a, FixedPoint b) {
  if (a == b) return;
  EmitSegment(Map(a), Map(b));
}

void PathEdges::EmitSegment(FixedPoint a, FixedPoint b) {
  if (a == b) return;
  const int32_t row = a.y >> 16;
  if (last_ != nullptr && IsFlatEdge(last_) && (b.y >> 16) == row &&
      (last_->y0 >> 16) == row && (last_->y1 >> 16) == row) {
    // Segments within one sub-row widen the previous flat edge instead of
    // making edges of their own: flattened curves stay short in edges.
    last_->x0 = std::min({last_->x0, a.x, b.x});
    last_->x1 = std::max({last_->x1, a.x, b.x});
    last_->y0 = std::min({last_->y0, a.y, b.y});
    last_->y1 = std::max({last_->y1, a.y, b.y});
    bounds_.IncludePoint(a.x, a.y);
    bounds_.IncludePoint(b.x, b.y);
    return;
  }
  bounds_.IncludePoint(a.x, a.y);
  bounds_.IncludePoint(b.x, b.y);
  auto* edge = static_cast<EdgeRecord*>(arena_.Alloc(sizeof(EdgeRecord)));
  new (edge) EdgeRecord;
  edge->Init(a, b, closing_);
  edges_.edgeCount += 1;
  edges_.weightedEdgeCount += edge->direction == EdgeRecord::kFlat ? 2 : 1;
  LinkEdge(edge);
}

namespace {

void SetDirection(EdgeRecord* edge, int direction) {
  edge->direction = direction > 0 ? EdgeRecord::kUpward
                                  : (direction < 0 ? EdgeRecord::kDownward : EdgeRecord::kFlat);
}

// Reverses the links of a chain [start .. end] built top first, so that it
// reads newest first.
void ReverseChain(EdgeRecord* start, EdgeRecord* end) {
  EdgeRecord* previous = nullptr;
  EdgeRecord* edge = start;
  while (edge != nullptr) {
    EdgeRecord* next = edge == end ? nullptr : edge->chain;
    edge->chain = previous;
    previous = edge;
    edge = next;
  }
}

}  // namespace

void PathEdges::LinkEdge(EdgeRecord* edge) {
  int direction = EdgeDirection(edge);
  if (first_ == nullptr) {
    first_ = chainStart_ = last_ = edge;
    direction_ = firstDirection_ = direction;
    severalChains_ = false;
    return;
  }
  if (direction == 0) {
    // A flat edge joins the chain it meets and takes its direction: where a
    // chain ends in a flat edge, that edge carries the chain's winding
    // through its last sub-row.
    direction = direction_;
    SetDirection(edge, direction);
  }
  if (direction_ == 0 && direction != 0) {
    // A chain of flat edges takes the direction of the first edge with one;
    // links were made top first, an upward chain reads newest first.
    for (EdgeRecord* flat = chainStart_;; flat = flat->chain) {
      SetDirection(flat, direction);
      if (flat == last_ || flat->chain == nullptr) break;
    }
    if (direction > 0) ReverseChain(chainStart_, last_);
    direction_ = direction;
    if (!severalChains_) firstDirection_ = direction;
  }
  if (direction == direction_) {
    if (direction_ > 0) {
      edge->chain = last_;
    } else {
      last_->chain = edge;
    }
    last_ = edge;
    return;
  }
  if (direction_ > 0) {
    // The finished upward chain's head and the new downward chain's head.
    chains_.PushBack(last_);
    chains_.PushBack(edge);
  }
  severalChains_ = true;
  direction_ = direction;
  chainStart_ = last_ = edge;
}

void PathEdges::CloseChains() {
  if (first_ == nullptr) return;
  if (!severalChains_) {
    // One chain only (a single edge, or a sub-path whose other edges were
    // clipped away): its head, never a loop.
    chains_.PushBack(direction_ > 0 ? last_ : first_);
  } else if (direction_ > 0 && firstDirection_ <= 0) {
    chains_.PushBack(last_);
    chains_.PushBack(first_);
  } else if (direction_ == firstDirection_) {
    if (direction_ > 0) {
      first_->chain = last_;
    } else {
      last_->chain = first_;
    }
  }
  first_ = chainStart_ = last_ = nullptr;
  direction_ = firstDirection_ = 0;
  severalChains_ = false;
}

void PathEdges::ClosePath() {
  if (!open_) return;
  LineTo(start_);
  open_ = false;
}

void PathEdges::Finish() {
  closing_ = 1;
  ClosePath();
  closing_ = 0;
  CloseChains();
}

void PathEdges::CurveTo(FixedPoint p1, FixedPoint p2, FixedPoint p3) {
  runtime::ChargeWork(context_, kLineWork);
  if (!open_) return;
  const FixedPoint p0 = current_;
  current_ = p3;
  switch (pixelClip_.ClassifyPoints(p0, p1, p2, p3)) {
    case runtime::ClipBox::kInside:
      Flatten(p0, p1, p2, p3, 0, false);
      break;
    case runtime::ClipBox::kOutside:
      ClipLine(p0, p3);
      break;
    case runtime::ClipBox::kPartly:
      // A curve straddling the box is flattened with every chord clipped:
      // its points may lie far outside the mapped range.
      if (FlattenCurve(p0, p1, p2, p3, 0) == 0) Flatten(p0, p1, p2, p3, 0, true);
      break;
  }
}

int PathEdges::FlattenCurve(FixedPoint p0, FixedPoint p1, FixedPoint p2, FixedPoint p3,
                            int depth) {
  if (depth >= kMaxCurveDepth) return 0;
  const FixedPoint q1 = FixedVec::Midpoint(p0, p1), q = FixedVec::Midpoint(p1, p2),
                   q2 = FixedVec::Midpoint(p2, p3);
  const FixedPoint r1 = FixedVec::Midpoint(q1, q), r2 = FixedVec::Midpoint(q, q2);
  const FixedPoint s = FixedVec::Midpoint(r1, r2);
  const auto left = pixelClip_.ClassifyPoints(p0, q1, r1, s);
  const auto right = pixelClip_.ClassifyPoints(s, r2, q2, p3);
  if (left != runtime::ClipBox::kOutside && right != runtime::ClipBox::kOutside) return 0;
  auto half = [&](FixedPoint a, FixedPoint b, FixedPoint c, FixedPoint d, runtime::ClipBox::Classification k) {
    if (k == runtime::ClipBox::kOutside) {
      ClipLine(a, d);
    } else if (k == runtime::ClipBox::kInside) {
      Flatten(a, b, c, d, depth + 1, false);
    } else if (FlattenCurve(a, b, c, d, depth + 1) == 0) {
      Flatten(a, b, c, d, depth + 1, true);
    }
  };
  half(p0, q1, r1, s, left);
  half(s, r2, q2, p3, right);
  return 1;
}

void PathEdges::Flatten(FixedPoint p0, FixedPoint p1, FixedPoint p2, FixedPoint p3, int depth,
                        bool clip) {
  if (depth < kMaxCurveDepth && !IsFlat(p0, p1, p2, p3)) {
    const FixedPoint q1 = FixedVec::Midpoint(p0, p1), q = FixedVec::Midpoint(p1, p2),
                     q2 = FixedVec::Midpoint(p2, p3);
    const FixedPoint r1 = FixedVec::Midpoint(q1, q), r2 = FixedVec::Midpoint(q, q2);
    const FixedPoint s = FixedVec::Midpoint(r1, r2);
    Flatten(p0, q1, r1, s, depth + 1, clip);
    Flatten(s, r2, q2, p3, depth + 1, clip);
    return;
  }
  Chord(p0, p3, clip);
}

bool PathEdges::IsFlat(FixedPoint p0, FixedPoint p1, FixedPoint p2, FixedPoint p3) const {
  const int64_t t = flatness_;
  // Inner points outside the chord's box widened by the tolerance: not flat.
  const int64_t minX = std::min(p0.x, p3.x), maxX = std::max(p0.x, p3.x);
  const int64_t minY = std::min(p0.y, p3.y), maxY = std::max(p0.y, p3.y);
  if (std::min(p1.x, p2.x) <= minX - t || std::max(p1.x, p2.x) >= maxX + t ||
      std::min(p1.y, p2.y) <= minY - t || std::max(p1.y, p2.y) >= maxY + t) {
    return false;
  }
  const int64_t m = std::max(maxX - minX, maxY - minY);
  if (m <= t / 4) return true;
  // Distance of the inner points from the chord, as the cross product of the
  // chord with pi − p0 against |chord|·t (max norm, no square root). The
  // products are exact in 64 bits, where 32-bit ones would overflow.
  const int64_t limit = (m * t) >> 16;
  const int64_t dy = int64_t{p3.y} - p0.y, nx = int64_t{p0.x} - p3.x;
  for (const FixedPoint& p : {p1, p2}) {
    const int64_t cross = ((dy * (int64_t{p.x} - p0.x)) >> 16) + ((nx * (int64_t{p.y} - p0.y)) >> 16);
    if (cross > limit || -cross > limit) return false;
  }
  return true;
}

namespace {

// Device coordinates up to ±16384 pixels are fed as they are; beyond, lines
// are cut and projected in double precision.
constexpr int64_t kNearLimit = 0x40000000;

bool IsNear(int64_t x, int64_t y) {
  return x >= -kNearLimit && x <= kNearLimit && y >= -kNearLimit && y <= kNearLimit;
}

Fixed ClampNear(double v) {
  const double limit = static_cast<double>(kNearLimit);
  return static_cast<Fixed>(std::llround(std::clamp(v, -limit, limit)));
}

}  // namespace

PathEdges::DevicePoint PathEdges::ToDevice(const runtime::Matrix& m, FixedPoint p) const {
  const int64_t x = p.x, y = p.y;
  return {((m.a * x + m.c * y) >> 16) + m.e - deviceOriginX_, ((m.b * x + m.d * y) >> 16) + m.f - deviceOriginY_};
}

void PathEdges::LineToDevice(DevicePoint p) {
  const DevicePoint from = deviceCurrent_;
  deviceCurrent_ = p;
  if (IsNear(from.x, from.y) && IsNear(p.x, p.y)) {
    LineTo({static_cast<Fixed>(p.x), static_cast<Fixed>(p.y)});
    return;
  }
  // Cut where the line crosses x = ±limit or y = ±limit; the clamped ends of
  // the pieces are the line's projection onto the square, which keeps the
  // winding of every point inside it.
  const double x0 = static_cast<double>(from.x), y0 = static_cast<double>(from.y);
  const double dx = static_cast<double>(p.x) - x0, dy = static_cast<double>(p.y) - y0;
  const double limit = static_cast<double>(kNearLimit);
  double cuts[5];
  int count = 0;
  for (const double line : {-limit, limit}) {
    if (dx != 0) {
      const double t = (line - x0) / dx;
      if (t > 0 && t < 1) cuts[count++] = t;
    }
    if (dy != 0) {
      const double t = (line - y0) / dy;
      if (t > 0 && t < 1) cuts[count++] = t;
    }
  }
  for (int i = 1; i < count; ++i) {
    for (int j = i; j > 0 && cuts[j] < cuts[j - 1]; --j) std::swap(cuts[j], cuts[j - 1]);
  }
  for (int i = 0; i < count; ++i) LineTo({ClampNear(x0 + dx * cuts[i]), ClampNear(y0 + dy * cuts[i])});
  LineTo({ClampNear(static_cast<double>(p.x)), ClampNear(static_cast<double>(p.y))});
}

void PathEdges::CurveToDevice(DevicePoint p1, DevicePoint p2, DevicePoint p3) {
  const DevicePoint p0 = deviceCurrent_;
  if (IsNear(p0.x, p0.y) && IsNear(p1.x, p1.y) && IsNear(p2.x, p2.y) && IsNear(p3.x, p3.y)) {
    deviceCurrent_ = p3;
    auto fixed = [](DevicePoint d) { return FixedPoint{static_cast<Fixed>(d.x), static_cast<Fixed>(d.y)}; };
    CurveTo(fixed(p1), fixed(p2), fixed(p3));
    return;
  }
  const double points[8] = {static_cast<double>(p0.x), static_cast<double>(p0.y),
                            static_cast<double>(p1.x), static_cast<double>(p1.y),
                            static_cast<double>(p2.x), static_cast<double>(p2.y),
                            static_cast<double>(p3.x), static_cast<double>(p3.y)};
  FarCurve(points, 0);
  deviceCurrent_ = p3;
}

void PathEdges::FarCurve(const double (&p)[8], int depth) {
  // Flat enough (control points within the tolerance of the chord's box) or
  // deep enough: the chord.
  const double t = static_cast<double>(flatness_);
  const double minX = std::min(p[0], p[6]) - t, maxX = std::max(p[0], p[6]) + t;
  const double minY = std::min(p[1], p[7]) - t, maxY = std::max(p[1], p[7]) + t;
  const double chordX = p[6] - p[0], chordY = p[7] - p[1];
  const double length = std::max(std::fabs(chordX), std::fabs(chordY));
  bool flat = depth >= kMaxCurveDepth;
  if (!flat && std::min(p[2], p[4]) > minX && std::max(p[2], p[4]) < maxX &&
      std::min(p[3], p[5]) > minY && std::max(p[3], p[5]) < maxY) {
    const double d1 = std::fabs(chordY * (p[2] - p[0]) - chordX * (p[3] - p[1]));
    const double d2 = std::fabs(chordY * (p[4] - p[0]) - chordX * (p[5] - p[1]));
    flat = std::max(d1, d2) <= length * t;
  }
  if (flat) {
    LineToDevice({static_cast<int64_t>(p[6]), static_cast<int64_t>(p[7])});
    return;
  }
  double left[8], right[8];
  for (int axis = 0; axis < 2; ++axis) {
    const double a = p[axis], b = p[2 + axis], c = p[4 + axis], d = p[6 + axis];
    const double ab = (a + b) / 2, bc = (b + c) / 2, cd = (c + d) / 2;
    const double abc = (ab + bc) / 2, bcd = (bc + cd) / 2, mid = (abc + bcd) / 2;
    left[axis] = a, left[2 + axis] = ab, left[4 + axis] = abc, left[6 + axis] = mid;
    right[axis] = mid, right[2 + axis] = bcd, right[4 + axis] = cd, right[6 + axis] = d;
  }
  FarCurve(left, depth + 1);
  FarCurve(right, depth + 1);
}

void PathEdges::FeedPath(std::span<const FixedPoint> points, const runtime::Matrix& toDevice) {
  if (!enabled_) return;
  bool closed = false;
  bool anyMove = false;
  for (size_t i = 0; i < points.size(); ++i) {
    const int kind = StoredPath::KindOf(points[i]);
    const DevicePoint p = ToDevice(toDevice, StoredPath::Coordinates(points[i]));
    if (kind == 0) {
      MoveTo({ClampNear(static_cast<double>(p.x)), ClampNear(static_cast<double>(p.y))});
      deviceStart_ = deviceCurrent_ = p;
      anyMove = true;
      closed = false;
      continue;
    }
    if (!anyMove) {
      // Lines and curves before the first move draw nothing; a curve's
      // points are passed over together.
      if (kind == 2) i += 2;
      continue;
    }
    if (kind != 3 && closed) {
      // After a close, drawing goes on from the sub-path's start.
      MoveTo({ClampNear(static_cast<double>(deviceStart_.x)),
              ClampNear(static_cast<double>(deviceStart_.y))});
      deviceCurrent_ = deviceStart_;
      closed = false;
    }
    if (kind == 1) {
      LineToDevice(p);
    } else if (kind == 2) {
      if (i + 2 >= points.size()) break;  // a curve cut short ends the path
      CurveToDevice(p, ToDevice(toDevice, StoredPath::Coordinates(points[i + 1])),
                    ToDevice(toDevice, StoredPath::Coordinates(points[i + 2])));
      i += 2;
    } else {
      if (open_) LineToDevice(deviceStart_);
      ClosePath();
      closed = true;
    }
  }
  if (open_ && (deviceCurrent_.x != deviceStart_.x || deviceCurrent_.y != deviceStart_.y)) {
    LineToDevice(deviceStart_);
  }
  Finish();
}

bool PathEdges::Bucket(int32_t firstRow, int32_t endRow) {
  if (!enabled_ || bounds_.y0 > bounds_.y1 || chains_.IsEmpty()) {
    enabled_ = false;
    return false;
  }
  const int32_t top = std::max(bounds_.y0 >> 16, firstRow);
  const int32_t bottom = std::max(top + 1, std::min(runtime::FixedToIntCeil(bounds_.y1), endRow));
  if (top < -32767 || top > 32767 || bottom < -32767 || bottom > 32767) {
    enabled_ = false;
    return false;
  }
  const auto count = static_cast<uint32_t>(bottom - top);
  auto** buckets = static_cast<EdgeRecord**>(arena_.Alloc(sizeof(EdgeRecord*) * count));
  std::fill(buckets, buckets + count, nullptr);
  edges_.firstRow = top;
  edges_.currentRow = top;
  edges_.lookAheadRows = static_cast<int32_t>(count);
  edges_.buckets = {buckets, count};
  for (EdgeRecord* head : chains_) edges_.SeekRow(FirstEdgeReaching(head, runtime::FixedFromInt(top)));
  edges_.nextRow = top;
  return true;
}

std::span<const FixedPoint> StoredPath::FromPacked(runtime::ArenaAllocator& arena, const runtime::PackedPoint* points,
                                                  uint32_t count) {
  auto* path = runtime::NewInArena<StoredPath>(arena, arena, count + 1);
  for (uint32_t i = 0; i < count; ++i) {
    const runtime::PackedPoint& p = points[i];
    const FixedPoint at{p.X(), p.Y()};
    switch (p.PointKind()) {
      case runtime::PackedPoint::kMove: path->MoveTo(at); break;
      case runtime::PackedPoint::kLine: path->LineTo(at); break;
      case runtime::PackedPoint::kCurve:
        // Curve points come in threes; a short run ends the path.
        if (i + 2 >= count) return path->Points();
        path->CurveTo(at, {points[i + 1].X(), points[i + 1].Y()}, {points[i + 2].X(), points[i + 2].Y()});
        i += 2;
        break;
      default: path->Close(); break;
    }
  }
  return path->Points();
}

}  // namespace raster
