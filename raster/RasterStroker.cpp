#include "raster/Stroker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "raster/Bezier.h"
#include "runtime/Scheduler.h"

namespace raster {

namespace {

using runtime::FixedAddSat;
using runtime::FixedSubSat;
using runtime::kFixedOne;

constexpr Fixed kJoinSkip = 16;           // offset points this close are not joined
constexpr int32_t kPieceWork = 100;
constexpr Fixed kMinimumPieceStep = 256;  // pieces narrower than 1/256 are forced

FixedPoint StrokeAdd(FixedPoint a, FixedPoint b) { return {FixedAddSat(a.x, b.x), FixedAddSat(a.y, b.y)}; }
FixedPoint StrokeSub(FixedPoint a, FixedPoint b) { return {FixedSubSat(a.x, b.x), FixedSubSat(a.y, b.y)}; }
FixedPoint StrokeNeg(FixedPoint a) { return {runtime::NegateSat(a.x), runtime::NegateSat(a.y)}; }

double StrokeCross(FixedPoint a, FixedPoint b) {
  return static_cast<double>(a.x) * b.y - static_cast<double>(a.y) * b.x;
}
double StrokeDot(FixedPoint a, FixedPoint b) { return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y; }

// The segment as walked: on the backward pass its points are reversed and
// its parameters mirrored.
StrokeSegment OrientedSegment(const StrokeSegment& s, bool backward) {
  if (!backward) return s;
  StrokeSegment r = s;
  const int count = s.kind;
  for (int i = 0; i < count; ++i) r.points[i] = s.points[count - 1 - i];
  r.t0 = kFixedOne - s.t1;
  r.t1 = kFixedOne - s.t0;
  r.flags = static_cast<uint8_t>(((s.flags & StrokeSegment::kStartIsVertex) ? StrokeSegment::kEndIsVertex : 0) |
                                 ((s.flags & StrokeSegment::kEndIsVertex) ? StrokeSegment::kStartIsVertex : 0));
  return r;
}

// The normal (−dy, dx) of v scaled to h; false when v is not longer than
// `minLength`.
bool StrokeLineNormal(FixedPoint v, Fixed h, Fixed minLength, FixedPoint& out) {
  const double length = std::sqrt(static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y);
  if (length <= minLength) return false;
  const double k = h / length;
  out = {FixedFromDoubleSat(-v.y * k), FixedFromDoubleSat(v.x * k)};
  return true;
}

// Where the lines a + s·u and b + r·v meet; false when parallel.
bool IntersectStrokeLines(FixedPoint a, FixedPoint u, FixedPoint b, FixedPoint v, double& x, double& y,
                          double* s = nullptr, double* r = nullptr) {
  const double det = static_cast<double>(u.x) * v.y - static_cast<double>(u.y) * v.x;
  if (std::fabs(det) < 1e-6) return false;
  const double wx = static_cast<double>(b.x) - a.x, wy = static_cast<double>(b.y) - a.y;
  const double sa = (wx * v.y - wy * v.x) / det;
  const double rb = (wx * u.y - wy * u.x) / det;
  x = a.x + sa * u.x;
  y = a.y + sa * u.y;
  if (s != nullptr) *s = sa;
  if (r != nullptr) *r = rb;
  return true;
}

}  // namespace

void Stroker::DrawPiece(const Piece& piece) {
  const OffsetPiece& o = piece.offset;
  if (!piece.curve) {
    out_.LineTo(o.end);
    return;
  }
  // When the normals at the two ends cross before reaching the offset (the
  // curve bends more tightly than the half width on this side), the offset
  // cubic alone would loop the wrong way round; going to the crossing and
  // back along the cubic keeps the winding of the inner side positive.
  double s = 0, r = 0, x = 0, y = 0;
  const FixedPoint n0 = StrokeSub(o.start, o.centreStart), n1 = StrokeSub(o.end, o.centreEnd);
  if (params_.halfWidth > 0 && IntersectStrokeLines(o.centreStart, n0, o.centreEnd, n1, x, y, &s, &r) && s > 0 &&
      s < 1 && r > 0 && r < 1) {
    const FixedPoint cross{FixedFromDoubleSat(x), FixedFromDoubleSat(y)};
    out_.LineTo(cross);
    out_.LineTo(o.end);
    out_.CurveTo(o.control2, o.control1, o.start);
    out_.LineTo(cross);
    out_.LineTo(o.end);
    return;
  }
  out_.CurveTo(o.control1, o.control2, o.end);
}

bool Stroker::StrokePass(const SegmentPath& path, bool backward, int startMode, bool stopAfterFirst) {
  const std::span<const StrokeSegment> all = path.Segments();
  const uint32_t count = static_cast<uint32_t>(all.size());
  bool found = false;
  for (uint32_t k = 0; k < count; ++k) {
    const StrokeSegment seg = OrientedSegment(all[backward ? count - 1 - k : k], backward);
    if (seg.IsDegenerate()) continue;
    Fixed ta = seg.t0;
    Fixed tryLength = seg.t1 - seg.t0;
    for (int pieces = 0; ta < seg.t1 && pieces < kMaxPieces; ++pieces) {
      Piece piece;
      Fixed tb = seg.t1;
      if (!seg.IsCurve()) {
        const FixedPoint a = seg.At(ta), b = seg.At(tb);
        FixedPoint n{};
        if (!StrokeLineNormal(StrokeSub(b, a), params_.SideOffset(StrokeSub(b, a)), params_.minLength, n)) break;
        piece.offset = {StrokeAdd(a, n), StrokeAdd(a, n), StrokeAdd(b, n), StrokeAdd(b, n), a, b};
      } else {
        piece.curve = true;
        tb = std::min<Fixed>(seg.t1, FixedAddSat(ta, tryLength));
        // Halve until the offset cubic fits; the last resort is forced.
        while (!OffsetCurve::Fits(seg, ta, tb, params_, tb - ta < kMinimumPieceStep || pieces + 1 == kMaxPieces,
                                  piece.offset))
          tb = ta + (tb - ta) / 2;
        tryLength = std::max<Fixed>(2 * (tb - ta), kMinimumPieceStep);
      }
      // Curves may be cut into thousands of pieces: each is charged.
      if (piece.curve) runtime::ChargeWork(context_, kPieceWork);
      const bool startsAtVertex = ta == seg.t0 && (seg.flags & StrokeSegment::kStartIsVertex) != 0;
      if (!found) {
        found = true;
        if (startMode == 0) {
          out_.MoveTo(piece.offset.start);
        } else if (startMode == 1) {
          out_.LineTo(piece.offset.start);
        }
        if (startMode != 2 || vertices_ == 0) {
          vertices_ = 1;
          lastOffset_ = piece.offset.start;
          lastCentre_ = piece.offset.centreStart;
        }
        if (stopAfterFirst) {
          Join(piece.offset.start, piece.offset.centreStart, lastBoundary_ || startsAtVertex);
          return true;
        }
      }
      Join(piece.offset.start, piece.offset.centreStart, lastBoundary_ || startsAtVertex,
           piece.curve ? nullptr : &piece.offset.end);
      DrawPiece(piece);
      lastWasLine_ = !piece.curve;
      lastLineStart_ = piece.offset.start;
      lastOffset_ = piece.offset.end;
      lastCentre_ = piece.offset.centreEnd;
      ++vertices_;
      lastBoundary_ = tb == seg.t1 && (seg.flags & StrokeSegment::kEndIsVertex) != 0;
      ta = tb;
    }
  }
  if (found && !path.closed && !stopAfterFirst) Cap();
  return found;
}

void Stroker::Join(FixedPoint newStart, FixedPoint centre, bool styled, const FixedPoint* newEnd) {
  if (vertices_ == 0) return;
  if (std::llabs(int64_t{newStart.x} - lastOffset_.x) <= kJoinSkip &&
      std::llabs(int64_t{newStart.y} - lastOffset_.y) <= kJoinSkip)
    return;
  const FixedPoint n1 = StrokeSub(lastOffset_, lastCentre_);
  const FixedPoint n2 = StrokeSub(newStart, centre);
  const double cross = StrokeCross(n1, n2) / 65536.0;
  if (cross < 655.0 / 65536.0 * params_.halfWidthSquared) {
    if (!styled) return RoundJoin(newStart, centre, n1, n2);
    switch (params_.join) {
      case runtime::StrokeStyle::kMiterJoin:
        return MiterJoin(newStart, centre, n1, n2);
      case runtime::StrokeStyle::kRoundJoin:
        return RoundJoin(newStart, centre, n1, n2);
      default:
        out_.LineTo(newStart);
        return;
    }
  }
  // The inner side. Two lines whose offsets cross within both meet at the
  // crossing: the last line is cut there and the new one starts from it.
  double s = 0, r = 0, x = 0, y = 0;
  if (lastWasLine_ && newEnd != nullptr && out_.LastKind() == 1 &&
      out_.LastPoint() == StoredPath::Coordinates(lastOffset_) &&
      IntersectStrokeLines(lastLineStart_, StrokeSub(lastOffset_, lastLineStart_), newStart,
                           StrokeSub(*newEnd, newStart), x, y, &s, &r) &&
      s > 0 && s < 1 && r > 0 && r < 1) {
    out_.ReplaceLast({FixedFromDoubleSat(x), FixedFromDoubleSat(y)});
    return;
  }
  // Otherwise through the vertex; the non-zero fill absorbs the overlap.
  out_.LineTo(centre);
  out_.LineTo(newStart);
}

void Stroker::MiterJoin(FixedPoint newStart, FixedPoint centre, FixedPoint n1, FixedPoint n2) {
  const FixedPoint d1{n1.y, runtime::NegateSat(n1.x)}, d2{n2.y, runtime::NegateSat(n2.x)};
  double x = 0, y = 0;
  if (std::fabs(StrokeCross(n1, n2)) >= 4.0 * 65536.0 && IntersectStrokeLines(lastOffset_, d1, newStart, d2, x, y)) {
    const double distance = std::hypot(x - centre.x, y - centre.y);
    if (distance <= static_cast<double>(params_.halfWidth) * params_.miterLimit / 65536.0) {
      out_.LineTo({FixedFromDoubleSat(x), FixedFromDoubleSat(y)});
      out_.LineTo(newStart);
      return;
    }
  }
  out_.LineTo(newStart);
}

void Stroker::RoundJoin(FixedPoint newStart, FixedPoint centre, FixedPoint n1, FixedPoint n2) {
  if (StrokeDot(n1, n2) / 65536.0 > params_.roundThreshold) {
    out_.LineTo(newStart);
    return;
  }
  FixedPoint arc[12];
  const int count =
      CurveMeasure::ArcToCubics(lastOffset_, lastOffset_, StrokeSub(centre, n1), newStart, params_.ArcRadius(), arc);
  for (int i = 0; i + 2 < count; i += 3) out_.CurveTo(arc[i], arc[i + 1], arc[i + 2]);
  if (count == 0) out_.LineTo(newStart);
}

void Stroker::HalfDisc(FixedPoint c, FixedPoint n) {
  // From c + n round the outside (clockwise, through c + (n.y, −n.x)) to
  // c − n.
  const FixedPoint from = StrokeAdd(c, n), to = StrokeSub(c, n);
  FixedPoint arc[12];
  const int count = CurveMeasure::ArcToCubics(from, from, to, to, params_.ArcRadius(), arc);
  for (int i = 0; i + 2 < count; i += 3) out_.CurveTo(arc[i], arc[i + 1], arc[i + 2]);
  if (count == 0) out_.LineTo(to);
}

void Stroker::Cap() {
  const FixedPoint c = lastCentre_, o = lastOffset_;
  const FixedPoint n = StrokeSub(o, c);
  const FixedPoint t{n.y, runtime::NegateSat(n.x)};
  const FixedPoint back = StrokeSub(c, n);
  switch (params_.cap) {
    case runtime::StrokeStyle::kRoundCap:
      HalfDisc(c, n);
      break;
    case runtime::StrokeStyle::kSquareCap:
      out_.LineTo(StrokeAdd(o, t));
      out_.LineTo(StrokeAdd(back, t));
      out_.LineTo(back);
      break;
    default:
      out_.LineTo(back);
      break;
  }
  lastOffset_ = back;
  ++vertices_;
}

void Stroker::SingleLine(const StrokeSegment& segment) {
  const FixedPoint p0 = segment.Start(), p1 = segment.End();
  FixedPoint n{};
  if (!StrokeLineNormal(StrokeSub(p1, p0), params_.SideOffset(StrokeSub(segment.points[1], segment.points[0])), 0, n))
    return Dot(p0);
  const FixedPoint d{n.y, runtime::NegateSat(n.x)};
  switch (params_.cap) {
    case runtime::StrokeStyle::kSquareCap:
      out_.MoveTo(StrokeAdd(StrokeSub(p0, d), n));
      out_.LineTo(StrokeAdd(StrokeAdd(p1, d), n));
      out_.LineTo(StrokeSub(StrokeAdd(p1, d), n));
      out_.LineTo(StrokeSub(StrokeSub(p0, d), n));
      break;
    case runtime::StrokeStyle::kRoundCap:
      out_.MoveTo(StrokeAdd(p1, n));
      HalfDisc(p1, n);
      out_.LineTo(StrokeSub(p0, n));
      HalfDisc(p0, StrokeNeg(n));
      break;
    default:
      out_.MoveTo(StrokeAdd(p0, n));
      out_.LineTo(StrokeAdd(p1, n));
      out_.LineTo(StrokeSub(p1, n));
      out_.LineTo(StrokeSub(p0, n));
      break;
  }
  out_.Close();
}

void Stroker::Dot(FixedPoint centre) {
  if (params_.cap != runtime::StrokeStyle::kRoundCap || params_.halfWidth <= 0) return;
  FixedPoint half[7];
  HalfCircle(centre, {params_.ArcRadius(), 0}, half);
  out_.MoveTo(half[0]);
  out_.CurveTo(half[1], half[2], half[3]);
  out_.CurveTo(half[4], half[5], half[6]);
  HalfCircle(centre, {runtime::NegateSat(params_.ArcRadius()), 0}, half);
  out_.CurveTo(half[1], half[2], half[3]);
  out_.CurveTo(half[4], half[5], half[6]);
  out_.Close();
}

const SegmentPath& Stroker::TrimButtEnds(const SegmentPath& path) {
  if (path.closed || params_.cap != runtime::StrokeStyle::kButtCap ||
      (params_.uniformNarrowing == 0 && params_.diagonalNarrowing == 0))
    return path;
  const std::span<const StrokeSegment> all = path.Segments();
  const uint32_t count = static_cast<uint32_t>(all.size());
  // Only line ends are pulled back; a curve end keeps its place.
  uint32_t first = 0, last = count - 1;
  while (first < count && all[first].IsDegenerate()) ++first;
  while (last > first && all[last].IsDegenerate()) --last;
  if (first >= count) return path;
  trimmed_.Clear();
  trimmed_.ExtractRange(path, {0, all[0].t0}, {count - 1, all[count - 1].t1});
  trimmed_.closed = false;
  auto pull = [&](uint32_t index, bool atStart) {
    StrokeSegment& s = trimmed_.MutableSegment(index);
    if (s.IsCurve()) return;
    const FixedPoint d = StrokeSub(s.points[1], s.points[0]);
    const double length =
        std::hypot(static_cast<double>(d.x), static_cast<double>(d.y)) * (static_cast<double>(s.t1) - s.t0) / 65536.0;
    if (length <= 0) return;
    // At most a third of the used part from each end.
    const double back = std::min<double>(params_.EndPullback(d), length / 3);
    const Fixed dt = FixedFromDoubleSat(back / length * (static_cast<double>(s.t1) - s.t0));
    if (atStart) {
      s.t0 += dt;
    } else {
      s.t1 -= dt;
    }
  };
  pull(first, true);
  pull(last, false);
  return trimmed_;
}

void Stroker::StrokeSubpath(const SegmentPath& original) {
  const SegmentPath& path = TrimButtEnds(original);
  const std::span<const StrokeSegment> all = path.Segments();
  if (all.empty()) return;
  if (all.size() == 1 && !all[0].IsCurve()) return SingleLine(all[0]);
  const bool drawable = std::any_of(all.begin(), all.end(), [](const StrokeSegment& s) { return !s.IsDegenerate(); });
  if (!drawable) return Dot(all[0].Start());
  ResetPass();
  if (path.closed) {
    const FixedPoint start = all[0].Start();
    out_.MoveTo(start);
    if (StrokePass(path, false, 1, false)) StrokePass(path, false, 2, true);
    out_.LineTo(start);
    ResetPass();
    if (StrokePass(path, true, 1, false)) StrokePass(path, true, 2, true);
    out_.LineTo(start);
    out_.Close();
    return;
  }
  if (StrokePass(path, false, 0, false)) {
    StrokePass(path, true, 2, false);
    out_.Close();
    return;
  }
  Dot(all[0].Start());
}

}  // namespace raster
