#include "content/OrientedBox.h"

#include <algorithm>
#include <cmath>

namespace content {

namespace {

// Directions closer than this (cos of about 1.8 degrees, 16.16) count as
// one frame.
constexpr int64_t kSameFrameDot = 64880;

int64_t DirectionDot(const OrientedBox& a, const OrientedBox& b) {
  return (static_cast<int64_t>(a.cos) * b.cos + static_cast<int64_t>(a.sin) * b.sin) >> 16;
}

int64_t DirectionCross(const OrientedBox& a, const OrientedBox& b) {
  return (static_cast<int64_t>(a.cos) * b.sin - static_cast<int64_t>(a.sin) * b.cos) >> 16;
}

bool IsQuarterTurn(uint32_t turn) {
  return turn == Orientation::kSame || turn == Orientation::kQuarter || turn == Orientation::kHalf ||
         turn == Orientation::kThreeQuarters;
}

// `box` in the frame of `target`; the box itself when it has a fixed
// direction (the caller has made sure the frames agree).
OrientedBox InFrameOf(const OrientedBox& box, const OrientedBox& target) {
  if (!box.IsTurnable()) return box;
  OrientedBox turned;
  return Orientation::ApplyTurn(turned, box, Orientation::RelativeTurn(box, target));
}

OrientedBox Turned(const OrientedBox& box, uint32_t turn) {
  OrientedBox turned;
  return Orientation::ApplyTurn(turned, box, turn);
}

OrientedBox EmptyBox() { return OrientedBox{}; }

// Corners of a box in page space.
struct BoxCorners {
  double x[4];
  double y[4];
};

BoxCorners CornersOf(const OrientedBox& box) {
  const double c = runtime::FixedToDouble(box.cos);
  const double s = runtime::FixedToDouble(box.sin);
  const double u[4] = {runtime::FixedToDouble(box.uMin), runtime::FixedToDouble(box.uMax),
                       runtime::FixedToDouble(box.uMax), runtime::FixedToDouble(box.uMin)};
  const double v[4] = {runtime::FixedToDouble(box.vMin), runtime::FixedToDouble(box.vMin),
                       runtime::FixedToDouble(box.vMax), runtime::FixedToDouble(box.vMax)};
  BoxCorners corners{};
  for (int i = 0; i < 4; ++i) {
    corners.x[i] = u[i] * c - v[i] * s;
    corners.y[i] = u[i] * s + v[i] * c;
  }
  return corners;
}

// True when some edge normal of either quadrilateral separates them. Both
// are convex, so no separating edge means they overlap.
bool Separated(const BoxCorners& p, const BoxCorners& q) {
  for (const BoxCorners* shape : {&p, &q}) {
    for (int i = 0; i < 4; ++i) {
      const int j = (i + 1) % 4;
      const double nx = -(shape->y[j] - shape->y[i]);
      const double ny = shape->x[j] - shape->x[i];
      double pMin = INFINITY, pMax = -INFINITY, qMin = INFINITY, qMax = -INFINITY;
      for (int k = 0; k < 4; ++k) {
        const double a = p.x[k] * nx + p.y[k] * ny;
        const double b = q.x[k] * nx + q.y[k] * ny;
        pMin = std::min(pMin, a);
        pMax = std::max(pMax, a);
        qMin = std::min(qMin, b);
        qMax = std::max(qMax, b);
      }
      if (pMax <= qMin || qMax <= pMin) return true;
    }
  }
  return false;
}

}  // namespace

OrientedBox OrientedBox::FromRect(const runtime::Rect& r) {
  return OrientedBox{kTurnable, runtime::kFixedOne, 0, r.x0, r.x1, r.y0, r.y1};
}

uint32_t Orientation::RelativeTurn(const OrientedBox& a, const OrientedBox& b) {
  if (a.IsEmpty() || b.IsEmpty()) return kIncomparable;
  const int64_t dot = DirectionDot(a, b);
  if ((a.cos == b.cos && a.sin == b.sin) || dot > kSameFrameDot) return kSame;
  if (!a.IsTurnable()) return kIncomparable;
  if (dot < -kSameFrameDot) return kHalf;
  const int64_t cross = DirectionCross(a, b);
  if (cross > kSameFrameDot) return kQuarter;
  if (cross < -kSameFrameDot) return kThreeQuarters;
  return kOtherAngle;
}

OrientedBox& Orientation::ApplyTurn(OrientedBox& out, const OrientedBox& box, uint32_t turn) {
  using runtime::NegateSat;
  OrientedBox result = box;
  switch (turn) {
    case kSame: break;
    case kQuarter:
      result.cos = NegateSat(box.sin);
      result.sin = box.cos;
      result.uMin = box.vMin;
      result.uMax = box.vMax;
      result.vMin = NegateSat(box.uMax);
      result.vMax = NegateSat(box.uMin);
      break;
    case kHalf:
      result.cos = NegateSat(box.cos);
      result.sin = NegateSat(box.sin);
      result.uMin = NegateSat(box.uMax);
      result.uMax = NegateSat(box.uMin);
      result.vMin = NegateSat(box.vMax);
      result.vMax = NegateSat(box.vMin);
      break;
    case kThreeQuarters:
      result.cos = box.sin;
      result.sin = NegateSat(box.cos);
      result.uMin = NegateSat(box.vMax);
      result.uMax = NegateSat(box.vMin);
      result.vMin = box.uMin;
      result.vMax = box.uMax;
      break;
    default: result = EmptyBox(); break;
  }
  out = result;
  return out;
}

OrientedBox& OrientedBox::Union(OrientedBox& out, const OrientedBox& a, const OrientedBox& b) {
  const uint32_t turn = a.IsTurnable() ? Orientation::RelativeTurn(a, b) : Orientation::RelativeTurn(b, a);
  if (!IsQuarterTurn(turn)) {
    out = EmptyBox();
    return out;
  }
  OrientedBox first = a;
  OrientedBox second = b;
  if (b.IsTurnable()) {
    second = InFrameOf(b, a);
  } else if (a.IsTurnable()) {
    first = InFrameOf(a, b);
  }
  OrientedBox result;
  result.flags = (a.IsTurnable() && b.IsTurnable()) ? kTurnable : 0;
  result.cos = second.IsTurnable() ? first.cos : second.cos;
  result.sin = second.IsTurnable() ? first.sin : second.sin;
  result.uMin = std::min(first.uMin, second.uMin);
  result.uMax = std::max(first.uMax, second.uMax);
  result.vMin = std::min(first.vMin, second.vMin);
  result.vMax = std::max(first.vMax, second.vMax);
  out = result;
  return out;
}

OrientedBox& OrientedBox::ExtendLine(OrientedBox& out, const OrientedBox& line, const OrientedBox& added) {
  OrientedBox united;
  Union(united, line, added);
  if (united.IsEmpty()) {
    out = united;
    return out;
  }
  if (line.IsTurnable() && added.IsTurnable()) {
    // Two single glyphs: the reading direction follows the longer extent.
    OrientedBox lineBox = InFrameOf(line, united);
    const int64_t grewAlong = static_cast<int64_t>(united.Length()) - lineBox.Length();
    const int64_t grewAcross = static_cast<int64_t>(united.Height()) - lineBox.Height();
    if (grewAlong < grewAcross) {
      united = Turned(united, Orientation::kQuarter);
      lineBox = Turned(lineBox, Orientation::kQuarter);
    }
    if (united.uMin != lineBox.uMin) {
      if (united.vMin != lineBox.vMin) {
        out = EmptyBox();
        return out;
      }
      // The new glyph came first: the line reads the other way.
      united = Turned(united, Orientation::kHalf);
      united.flags &= ~kTurnable;
    } else if (united.vMin > lineBox.vMin) {
      united.flags &= ~kTurnable;
    }
    out = united;
    return out;
  }
  const OrientedBox lineBox = InFrameOf(line, united);
  const OrientedBox addedBox = InFrameOf(added, united);
  const int64_t reachBack = static_cast<int64_t>(united.uMin) + addedBox.Length() / 10;
  if (lineBox.uMin > reachBack) {
    out = EmptyBox();
    return out;
  }
  out = united;
  return out;
}

OrientedBox& OrientedBox::ExtendLineCjk(OrientedBox& out, const OrientedBox& line, OrientedBox& added) {
  OrientedBox extended;
  ExtendLine(extended, line, added);
  if (!extended.IsEmpty()) {
    out = extended;
    return out;
  }
  OrientedBox turnable = added;
  turnable.flags |= kTurnable;
  ExtendLine(extended, line, turnable);
  if (extended.IsEmpty() || static_cast<int64_t>(extended.Height()) > 2 * static_cast<int64_t>(line.Height())) {
    out = EmptyBox();
    return out;
  }
  added = InFrameOf(turnable, extended);
  out = extended;
  return out;
}

bool OrientedBox::Meets(const OrientedBox& a, const OrientedBox& b) {
  if (a.IsEmpty() || b.IsEmpty()) return false;
  const uint32_t forward = Orientation::RelativeTurn(a, b);
  const bool otherAngle = (a.IsTurnable() && forward == Orientation::kOtherAngle) ||
                          Orientation::RelativeTurn(b, a) == Orientation::kOtherAngle;
  if (otherAngle) return !Separated(CornersOf(a), CornersOf(b));
  // One box in the other's frame: a in b's, or b in a's when only b may
  // be turned.
  OrientedBox first = Turned(a, forward);
  OrientedBox second = b;
  if (first.IsEmpty() && b.IsTurnable()) {
    first = a;
    second = Turned(b, Orientation::RelativeTurn(b, a));
  }
  if (first.IsEmpty() || second.IsEmpty()) return false;
  const Fixed uMin = std::max(first.uMin, second.uMin);
  const Fixed uMax = std::min(first.uMax, second.uMax);
  const Fixed vMin = std::max(first.vMin, second.vMin);
  const Fixed vMax = std::min(first.vMax, second.vMax);
  return uMin < uMax && vMin < vMax;
}

}  // namespace content
