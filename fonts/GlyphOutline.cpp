#include "fonts/GlyphOutline.h"

#include <algorithm>
#include <cstdlib>

namespace fonts {

namespace {

Fixed OutlineClamp(int64_t v) {
  return static_cast<Fixed>(std::clamp<int64_t>(v, runtime::kFixedMin, runtime::kFixedMax));
}

}  // namespace

FixedPoint GlyphOutline::Encode(Fixed x, Fixed y, PointKind kind) {
  auto word = [](Fixed v, int bit) {
    uint32_t u = static_cast<uint32_t>(v) & ~1u;
    if (u == 0x80000000u) u = 0x80000002u;
    return static_cast<Fixed>(u | static_cast<uint32_t>(bit));
  };
  const int k = static_cast<int>(kind);
  return {word(x, k & 1), word(y, k >> 1)};
}

Fixed GlyphOutline::DeviceX(Fixed x, Fixed y) const {
  const int64_t sum = int64_t{x} + xOffset_;
  return OutlineClamp(((sum * xScale_) >> 16) + ((int64_t{y} * xShear_) >> 16));
}

Fixed GlyphOutline::DeviceY(Fixed y) { return hints_ != nullptr ? hints_->MapY(y) : y; }

void GlyphOutline::MoveTo(Fixed x, Fixed y) {
  if (open_) AppendPoint(0, 0, PointKind::kClose);
  AppendPoint(DeviceX(x, y), DeviceY(y), PointKind::kMove);
  open_ = true;
}

void GlyphOutline::StartAt(Fixed x, Fixed y) {
  if (open_) AppendPoint(0, 0, PointKind::kClose);
  AppendPoint(DeviceX(x, y), y, PointKind::kMove);
  open_ = true;
}

void GlyphOutline::LineTo(Fixed x, Fixed y) { AppendPoint(DeviceX(x, y), DeviceY(y), PointKind::kLine); }

void GlyphOutline::CurveTo(Fixed x1, Fixed y1, Fixed x2, Fixed y2, Fixed x3, Fixed y3) {
  AppendPoint(DeviceX(x1, y1), DeviceY(y1), PointKind::kCurve);
  AppendPoint(DeviceX(x2, y2), DeviceY(y2), PointKind::kCurve);
  AppendPoint(DeviceX(x3, y3), DeviceY(y3), PointKind::kCurve);
}

void GlyphOutline::EnsureStarted() {
  if (open_) return;
  AppendPoint(0, DeviceY(0), PointKind::kMove);
  open_ = true;
}

void GlyphOutline::Close() {
  if (!open_) return;
  AppendPoint(0, 0, PointKind::kClose);
  open_ = false;
}

void GlyphOutline::Flex(CharstringStack& stack, const uint8_t present[12], bool isFlex1,
                        Fixed& x, Fixed& y) {
  uint32_t next = 0;
  auto take = [&]() { return stack.OperandAt(next++); };
  const Fixed x0 = x, y0 = y;
  Fixed px[7], py[7];
  px[0] = x0;
  py[0] = y0;
  Fixed cx = x0, cy = y0;
  for (int i = 0; i < 5; ++i) {
    if (present[2 * i] != 0) cx = runtime::WrapAdd(cx, take());
    if (present[2 * i + 1] != 0) cy = runtime::WrapAdd(cy, take());
    px[i + 1] = cx;
    py[i + 1] = cy;
  }
  if (isFlex1 && present[10] == 0 && present[11] == 0) {
    const Fixed d6 = take();
    const int64_t dx = std::llabs(int64_t{cx} - x0);
    const int64_t dy = std::llabs(int64_t{cy} - y0);
    if (dx <= dy) {
      px[6] = x0;
      py[6] = runtime::WrapAdd(cy, d6);
    } else {
      px[6] = runtime::WrapAdd(cx, d6);
      py[6] = y0;
    }
  } else {
    px[6] = present[10] != 0 ? runtime::WrapAdd(cx, take()) : x0;
    py[6] = present[11] != 0 ? runtime::WrapAdd(cy, take()) : y0;
  }
  EnsureStarted();
  CurveTo(px[1], py[1], px[2], py[2], px[3], py[3]);
  CurveTo(px[4], py[4], px[5], py[5], px[6], py[6]);
  x = px[6];
  y = py[6];
  stack.Clear();
}

void QuadContoursToPath(runtime::ArenaVector<FixedPoint>& out, std::span<const int32_t> x,
                        std::span<const int32_t> y, std::span<const uint8_t> onCurve,
                        std::span<const uint16_t> contourEnds) {
  const size_t n = std::min({x.size(), y.size(), onCurve.size()});
  auto put = [&](int64_t px, int64_t py, PointKind kind) {
    out.PushBack(GlyphOutline::Encode(OutlineClamp(px * 1024), OutlineClamp(py * 1024), kind));
  };
  size_t first = 0;
  for (const uint16_t endIndex : contourEnds) {
    const size_t last = endIndex;
    if (last >= n || last < first) break;
    const size_t count = last - first + 1;
    if (count > 2) {
      auto prevOf = [&](size_t i) { return i == first ? last : i - 1; };
      auto nextOf = [&](size_t i) { return i == last ? first : i + 1; };
      size_t startIndex = first;
      bool startIsSecond = false;
      int64_t sx, sy;
      if (onCurve[first] != 0) {
        sx = x[first];
        sy = y[first];
      } else if (onCurve[first + 1] != 0) {
        startIndex = first + 1;
        startIsSecond = true;
        sx = x[first + 1];
        sy = y[first + 1];
      } else {
        sx = (int64_t{x[first]} + x[first + 1]) / 2;
        sy = (int64_t{y[first]} + y[first + 1]) / 2;
      }
      put(sx, sy, PointKind::kMove);
      // Returns true when it consumed the next point.
      auto step = [&](size_t i) {
        if (onCurve[i] != 0) {
          put(x[i], y[i], PointKind::kLine);
          return false;
        }
        const size_t p = prevOf(i), q = nextOf(i);
        const int64_t c0 = x[i], c1 = y[i];
        int64_t ax, ay;
        if (onCurve[p] != 0) {
          ax = (x[p] + 2 * c0) / 3;
          ay = (y[p] + 2 * c1) / 3;
        } else {
          ax = (x[p] + 5 * c0) / 6;
          ay = (y[p] + 5 * c1) / 6;
        }
        if (onCurve[q] != 0) {
          put(ax, ay, PointKind::kCurve);
          put((x[q] + 2 * c0) / 3, (y[q] + 2 * c1) / 3, PointKind::kCurve);
          put(x[q], y[q], PointKind::kCurve);
          return true;
        }
        put(ax, ay, PointKind::kCurve);
        put((5 * c0 + x[q]) / 6, (5 * c1 + y[q]) / 6, PointKind::kCurve);
        put((c0 + x[q]) / 2, (c1 + y[q]) / 2, PointKind::kCurve);
        return false;
      };
      bool closedOnFirst = false;
      for (size_t i = startIndex + 1; i <= last; ++i) {
        if (step(i)) {
          if (i == last) closedOnFirst = true;
          ++i;
        }
      }
      if (!closedOnFirst) {
        const bool consumed = step(first);
        if (startIsSecond && !consumed) step(first + 1);
      }
    }
    out.PushBack(GlyphOutline::Encode(0, 0, PointKind::kClose));
    first = last + 1;
  }
}

}  // namespace fonts
