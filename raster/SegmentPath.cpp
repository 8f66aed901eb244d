#include "raster/SegmentPath.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "raster/Bezier.h"
#include "raster/OffsetCurve.h"

namespace raster {

namespace {

using runtime::FixedAddSat;
using runtime::FixedDiv;
using runtime::FixedMul;
using runtime::FixedSubSat;
using runtime::kFixedOne;

constexpr Fixed kCloseSnap = 4;  // end points this near a start are the start
constexpr int64_t kArcSnap = 2;  // arc lengths this near a segment end reach it

bool SameSegmentPoint(FixedPoint a, FixedPoint b) { return a.x == b.x && a.y == b.y; }

FixedPoint SegmentMidpoint(FixedPoint a, FixedPoint b) {
  // Rounded towards zero, as the flattening's subdivision asks.
  return {static_cast<Fixed>((int64_t{a.x} + b.x) / 2), static_cast<Fixed>((int64_t{a.y} + b.y) / 2)};
}

Fixed CubicSpeedAt(const StrokeSegment& s, Fixed t) {
  const FixedPoint d = Bezier::DerivativeAt(s.points, t);
  return runtime::FixedHypotScaled(d.x, d.y);
}

}  // namespace

FixedPoint StrokeSegment::At(Fixed t) const { return SegmentPointAt(points, kind, t); }

bool StrokeSegment::IsDegenerate() const {
  if (kind == kLine) return SameSegmentPoint(points[0], points[1]) || t0 >= t1;
  return (SameSegmentPoint(points[0], points[1]) && SameSegmentPoint(points[1], points[2]) &&
          SameSegmentPoint(points[2], points[3])) ||
         t0 >= t1;
}

bool SegmentPath::Culled(FixedPoint a, FixedPoint b) const {
  return !params_->IsDashed() && !params_->clip.clippingOff && ClipZone::SameOutside(params_->clip, a, b);
}

void SegmentPath::Push(const StrokeSegment& segment) { segments_.PushBack(segment); }

void SegmentPath::Bridge(FixedPoint p) {
  if (segments_.IsEmpty()) return;
  const FixedPoint end = segments_[segments_.Size() - 1].End();
  if (SameSegmentPoint(end, p)) return;
  StrokeSegment line;
  line.points[0] = end;
  line.points[1] = p;
  line.flags = 0;
  Push(line);
}

void SegmentPath::LineTo(FixedPoint a, FixedPoint b) {
  if (Culled(a, b)) return;
  Bridge(a);
  StrokeSegment line;
  line.points[0] = a;
  line.points[1] = b;
  line.flags = StrokeSegment::kStartIsVertex | StrokeSegment::kEndIsVertex;
  Push(line);
  lastIsCurve = false;
}

void SegmentPath::CurveTo(FixedPoint p0, FixedPoint p1, FixedPoint p2, FixedPoint p3) {
  if (SameSegmentPoint(p0, p1) && SameSegmentPoint(p2, p3)) {
    LineTo(p0, p3);
    return;
  }
  if (!params_->IsDashed() && !params_->clip.clippingOff && ClipZone::AllSameOutside(params_->clip, p0, p1, p2, p3))
    return;
  Bridge(p0);
  const FixedPoint curve[4] = {p0, p1, p2, p3};
  FixedPoint pieces[5][4];
  const int count = Bezier::SplitAtExtrema(curve, pieces);
  for (int i = 0; i < count; ++i) {
    StrokeSegment segment;
    std::copy(pieces[i], pieces[i] + 4, segment.points);
    segment.kind = StrokeSegment::kCubic;
    segment.flags = static_cast<uint8_t>((i == 0 ? StrokeSegment::kStartIsVertex : 0) |
                                         (i == count - 1 ? StrokeSegment::kEndIsVertex : 0));
    Push(segment);
  }
  lastIsCurve = true;
}

void SegmentPath::CurveToFlat(FixedPoint p0, FixedPoint p1, FixedPoint p2, FixedPoint p3, uint8_t flags) {
  if (!params_->IsDashed() && !params_->clip.clippingOff && ClipZone::AllSameOutside(params_->clip, p0, p1, p2, p3))
    return;
  Bridge(p0);
  const FixedPoint curve[4] = {p0, p1, p2, p3};
  Flatten(curve, 0, flags);
  lastIsCurve = false;
}

void SegmentPath::Flatten(const FixedPoint p[4], int depth, uint8_t flags) {
  auto chord = [&] {
    StrokeSegment line;
    line.points[0] = p[0];
    line.points[1] = p[3];
    line.flags = flags;
    Push(line);
  };
  if (depth >= 6) return chord();
  const Fixed tolerance = params_->tolerance;
  const Fixed length =
      FixedAddSat(runtime::AbsSat(FixedSubSat(p[0].x, p[3].x)), runtime::AbsSat(FixedSubSat(p[3].y, p[0].y)));
  if (length <= tolerance / 4) return chord();
  int32_t overflow = 0;
  const Fixed limit = runtime::FixedMulChecked(length, tolerance, overflow);
  bool subdivide = overflow != 0;
  const FixedPoint axis{FixedSubSat(p[3].x, p[0].x), FixedSubSat(p[3].y, p[0].y)};
  for (int i = 1; i <= 2 && !subdivide; ++i) {
    const FixedPoint leg{FixedSubSat(p[i].x, p[0].x), FixedSubSat(p[i].y, p[0].y)};
    int32_t flag = 0;
    const Fixed cross =
        FixedSubSat(runtime::FixedMulChecked(axis.x, leg.y, flag), runtime::FixedMulChecked(axis.y, leg.x, flag));
    if (flag != 0 || runtime::AbsSat(cross) > limit) subdivide = true;
  }
  if (!subdivide) return chord();
  const FixedPoint q1 = SegmentMidpoint(p[0], p[1]), q2 = SegmentMidpoint(p[1], p[2]), q3 = SegmentMidpoint(p[2], p[3]);
  const FixedPoint r1 = SegmentMidpoint(q1, q2), r2 = SegmentMidpoint(q2, q3);
  const FixedPoint s = SegmentMidpoint(r1, r2);
  const FixedPoint left[4] = {p[0], q1, r1, s};
  const FixedPoint right[4] = {s, r2, q3, p[3]};
  Flatten(left, depth + 1, flags);
  Flatten(right, depth + 1, flags);
}

void SegmentPath::ClosePath(FixedPoint a, FixedPoint b) {
  if (Culled(a, b)) return;
  closed = true;
  if (!segments_.IsEmpty() && std::abs(int64_t{b.x} - a.x) <= kCloseSnap &&
      std::abs(int64_t{b.y} - a.y) <= kCloseSnap) {
    StrokeSegment& last = segments_[segments_.Size() - 1];
    last.points[last.kind == StrokeSegment::kCubic ? 3 : 1] = b;
    return;
  }
  LineTo(a, b);
}

void SegmentPath::ExtractRange(const SegmentPath& source, PathPosition from, PathPosition to) {
  const std::span<const StrokeSegment> all = source.Segments();
  if (from.segment >= all.size() || to.segment >= all.size() || to.segment < from.segment) return;
  for (uint32_t i = from.segment; i <= to.segment; ++i) {
    StrokeSegment piece = all[i];
    if (i == from.segment) piece.t0 = from.t;
    if (i == to.segment) piece.t1 = to.t;
    if (piece.t0 > piece.t1) continue;
    // A cut end is no vertex of the given path.
    if (piece.t0 != all[i].t0) piece.flags &= static_cast<uint8_t>(~StrokeSegment::kStartIsVertex);
    if (piece.t1 != all[i].t1) piece.flags &= static_cast<uint8_t>(~StrokeSegment::kEndIsVertex);
    Push(piece);
    lastIsCurve = piece.IsCurve();
  }
}

bool SegmentPath::Advance(PathPosition& position, Fixed length, Fixed& left) const {
  const std::span<const StrokeSegment> all = Segments();
  left = 0;
  if (position.segment >= all.size()) return true;
  constexpr Fixed kMeasureStep = 4096;  // cubic speeds sampled every 1/16
  for (;;) {
    const StrokeSegment& segment = all[position.segment];
    Fixed rest = 0;
    if (segment.IsCurve()) {
      position.t = CurveMeasure::AdvanceByLength(segment, length, kMeasureStep, position.t, rest);
    } else {
      const int64_t full = runtime::FixedHypotScaled(FixedSubSat(segment.points[1].x, segment.points[0].x),
                                                     FixedSubSat(segment.points[1].y, segment.points[0].y));
      const int64_t used = (full * (int64_t{segment.t1} - segment.t0) + 0x8000) >> 16;
      const int64_t target = position.along + std::max<Fixed>(length, 0);
      if (full == 0 || target + kArcSnap >= used) {
        rest = static_cast<Fixed>(std::max<int64_t>(target - used, 0));
        position.t = segment.t1;
        position.along = used;
      } else {
        position.along = target;
        position.t =
            static_cast<Fixed>(std::min<int64_t>(segment.t1, segment.t0 + (((target << 16) + full / 2) / full)));
      }
    }
    if (rest <= 0) return false;
    length = rest;
    if (position.segment + 1 >= all.size()) {
      left = rest;
      return true;
    }
    ++position.segment;
    position.t = all[position.segment].t0;
    position.along = 0;
  }
}

void SegmentPath::Clear() {
  segments_.Clear();
  closed = false;
  lastIsCurve = false;
}

namespace CurveMeasure {

Fixed AdvanceByLength(const StrokeSegment& s, Fixed distance, Fixed step, Fixed start, Fixed& left) {
  left = 0;
  const Fixed end = s.t1;
  if (start >= end) {
    left = distance;
    return end;
  }
  if (s.kind == StrokeSegment::kLine) {
    if (distance <= 0) return start;
    const Fixed length =
        runtime::FixedHypotScaled(FixedSubSat(s.points[1].x, s.points[0].x), FixedSubSat(s.points[1].y, s.points[0].y));
    // Rounded to nearest, and an end within 2/65536 snapped onto: walks
    // of many short intervals must not drift into slivers at the end.
    const int64_t available = (int64_t{length} * (end - start) + 0x8000) >> 16;
    if (available <= int64_t{distance} + kArcSnap) {
      left = static_cast<Fixed>(std::max<int64_t>(distance - available, 0));
      return end;
    }
    const int64_t step = ((int64_t{distance} << 16) + length / 2) / length;
    return static_cast<Fixed>(std::min<int64_t>(end, start + step));
  }
  if (distance <= 0) return start;
  if (step <= 0) step = 4096;
  Fixed t = start;
  Fixed a = CubicSpeedAt(s, t);
  Fixed remaining = distance;
  while (t < end) {
    const Fixed h = std::min<Fixed>(step, end - t);
    const Fixed b = CubicSpeedAt(s, t + h);
    const Fixed mean = static_cast<Fixed>((int64_t{a} + b) / 2);
    const Fixed length = FixedMul(h, mean);
    if (length >= remaining && mean > 0) {
      // The speed taken to change linearly across the step (solved in
      // doubles: speeds near the 16.16 limit overflow the fixed products).
      const double sa = a, sb = b, rest = remaining, hd = h;
      const double k = (sb - sa) / (sa + sb);
      const double u = rest / (hd / 65536.0 * ((sa + sb) / 2));
      double fraction;
      if (std::fabs(k) >= 655.0 / 65536.0) {
        fraction = (k - 1 + std::sqrt(std::max(0.0, (1 - k) * (1 - k) + 4 * k * u))) / (2 * k);
      } else {
        fraction = u;
      }
      Fixed offset = FixedFromDoubleSat(fraction * hd);
      offset = std::clamp<Fixed>(offset, 0, h);
      return std::min(kFixedOne, t + offset);
    }
    remaining -= length;
    t += h;
    a = b;
  }
  left = std::max<Fixed>(remaining, 0);
  if (left == 0) left = 1;  // the end came first: report it
  return end;
}

int ArcToCubics(FixedPoint aPoint, FixedPoint bPoint, FixedPoint ePoint, FixedPoint fPoint, Fixed radius,
                FixedPoint out[12]) {
  if (radius < 1) return 0;
  const FixedPoint c = FixedVec::Midpoint(aPoint, ePoint);
  const FixedPoint b{FixedSubSat(bPoint.x, c.x), FixedSubSat(bPoint.y, c.y)};
  const FixedPoint e{FixedSubSat(fPoint.x, c.x), FixedSubSat(fPoint.y, c.y)};
  const Fixed p = runtime::FixedDot2(b.x, b.y, e.x, e.y);
  const Fixed q = runtime::FixedDot2(b.x, b.y, e.y, -e.x);  // b.x·e.y − b.y·e.x
  int turn;
  if (p > 0 && q <= 0)
    turn = 1;
  else if (p <= 0 && q < 0)
    turn = 2;
  else if (p < 0 && q >= 0)
    turn = 3;
  else if (p >= 0 && q > 0)
    turn = 4;
  else
    turn = 1;
  auto scaled = [radius](FixedPoint v) {
    const Fixed length = runtime::FixedHypotScaled(v.x, v.y);
    if (length == 0) return v;
    return FixedPoint{static_cast<Fixed>(int64_t{v.x} * radius / length),
                      static_cast<Fixed>(int64_t{v.y} * radius / length)};
  };
  auto midArc = [&](FixedPoint u, FixedPoint v, int cls) {
    FixedPoint m;
    if (cls == 1)
      m = {static_cast<Fixed>((int64_t{u.x} + v.x) / 2), static_cast<Fixed>((int64_t{u.y} + v.y) / 2)};
    else if (cls == 4)
      m = {static_cast<Fixed>(-(int64_t{u.x} + v.x) / 2), static_cast<Fixed>(-(int64_t{u.y} + v.y) / 2)};
    else
      m = {static_cast<Fixed>((int64_t{u.y} - v.y) / 2), static_cast<Fixed>((int64_t{v.x} - u.x) / 2)};
    return scaled(m);
  };
  FixedPoint through[5];
  int count = 0;
  through[count++] = b;
  if (turn == 2) {
    through[count++] = midArc(b, e, 2);
  } else if (turn >= 3) {
    const FixedPoint m = midArc(b, e, turn);
    through[count++] = midArc(b, m, 1);
    through[count++] = m;
    through[count++] = midArc(m, e, 1);
  }
  through[count++] = e;
  // The cosine of each piece's angle, in doubles: the products of
  // coordinates near the 16.16 limits overflow 64 bits once scaled.
  const double r2 = static_cast<double>(radius) * radius;
  int written = 0;
  for (int i = 0; i + 1 < count; ++i) {
    const FixedPoint from = through[i], to = through[i + 1];
    const double dot = static_cast<double>(from.x) * to.x + static_cast<double>(from.y) * to.y;
    const int index = static_cast<int>(std::clamp(std::nearbyint(dot * 128.0 / r2), 0.0, 128.0));
    const Fixed k = ArcFactor(index);
    // Clockwise tangents: (y, −x) at the start, (−y, x) back from the end.
    out[written++] = {FixedAddSat(FixedAddSat(from.x, FixedMul(k, from.y)), c.x),
                      FixedAddSat(FixedSubSat(from.y, FixedMul(k, from.x)), c.y)};
    out[written++] = {FixedAddSat(FixedSubSat(to.x, FixedMul(k, to.y)), c.x),
                      FixedAddSat(FixedAddSat(to.y, FixedMul(k, to.x)), c.y)};
    out[written++] = {FixedAddSat(to.x, c.x), FixedAddSat(to.y, c.y)};
  }
  return written;
}

}  // namespace CurveMeasure

}  // namespace raster
