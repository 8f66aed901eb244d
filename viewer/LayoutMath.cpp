#include "viewer/LayoutMath.h"

#include <algorithm>

namespace viewer {

int64_t LayoutMath::MulDiv64(int64_t a, int64_t b, int64_t c) {
  if (c == 0) return 0;
  // The 128-bit product cannot overflow; a quotient beyond 64 bits
  // saturates.
  const __int128 q = static_cast<__int128>(a) * b / c;
  if (q > INT64_MAX) return INT64_MAX;
  if (q < INT64_MIN) return INT64_MIN;
  return static_cast<int64_t>(q);
}

int64_t LayoutMath::Median3Clamp(int64_t lo, int64_t value, int64_t hi) {
  if (value < lo) return lo;
  if (value > hi) return hi;
  return value;
}

int32_t LayoutMath::InverseRotation(int32_t angle) {
  int32_t r = -(angle % 360) % 360;
  if (r < 0) r += 360;
  return r;
}

int32_t LayoutMath::AddRotations(int32_t a, int32_t b) {
  int32_t r = static_cast<int32_t>((static_cast<int64_t>(a) + b) % 360);
  if (r < 0) r += 360;
  return r;
}

void LayoutMath::RotatedBoxSize(const runtime::Rect& box, int32_t rotation, runtime::Fixed& width,
                                runtime::Fixed& height) {
  const int64_t w = static_cast<int64_t>(box.x1) - box.x0;
  const int64_t h = static_cast<int64_t>(box.y1) - box.y0;
  auto clamp = [](int64_t v) {
    return static_cast<runtime::Fixed>(v > runtime::kFixedMax ? runtime::kFixedMax : v);
  };
  const bool turned = rotation != 0 && rotation != 180;
  width = clamp(turned ? h : w);
  height = clamp(turned ? w : h);
}

void LayoutMath::RotateInPage(int32_t rotation, runtime::Fixed w, runtime::Fixed h,
                              runtime::Fixed& x, runtime::Fixed& y) {
  const runtime::Fixed px = x, py = y;
  switch (rotation) {
    case 90:
      x = runtime::FixedSubSat(w, py);
      y = px;
      break;
    case 180:
      x = runtime::FixedSubSat(w, px);
      y = runtime::FixedSubSat(h, py);
      break;
    case 270:
      x = py;
      y = runtime::FixedSubSat(h, px);
      break;
    default:
      break;
  }
}

void LayoutMath::RotateQuarter(int32_t rotation, runtime::Fixed& x, runtime::Fixed& y) {
  const runtime::Fixed px = x, py = y;
  switch (rotation) {
    case 0:
      break;
    case 90:
      x = runtime::NegateSat(py);
      y = px;
      break;
    case 180:
      x = runtime::NegateSat(px);
      y = runtime::NegateSat(py);
      break;
    default:
      x = py;
      y = runtime::NegateSat(px);
      break;
  }
}

runtime::Rect LayoutMath::PageBoxSize(const runtime::Rect& box, runtime::Fixed zoom,
                                      runtime::Fixed scaleX, runtime::Fixed scaleY) {
  auto bound = [&](runtime::Fixed scale) -> runtime::Fixed {
    const int64_t pixelsPerPoint = (static_cast<int64_t>(scale) * zoom) >> 16;
    if (pixelsPerPoint <= 0) return runtime::kFixedMax;
    return static_cast<runtime::Fixed>(
        std::min<int64_t>((static_cast<int64_t>(kDeviceRangeLimit) << 16) / pixelsPerPoint, runtime::kFixedMax));
  };
  const runtime::Fixed bx = bound(scaleX), by = bound(scaleY);
  return runtime::Rect::Intersect(box, {-bx, -by, bx, by});
}

void LayoutMath::Center(const runtime::Rect64& r, int64_t& x, int64_t& y) {
  x = static_cast<int64_t>((static_cast<__int128>(r.x0) + r.x1) / 2);
  y = static_cast<int64_t>((static_cast<__int128>(r.y0) + r.y1) / 2);
}

}  // namespace viewer
