#include "viewer/ScaledPreview.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "viewer/PagePlacement.h"

namespace viewer {

namespace {

int SignOf(runtime::Fixed v) { return (v > 0) - (v < 0); }

struct Affine {
  double a, b, c, d, e, f;
};

Affine ToAffine(const runtime::Matrix& m) {
  return {runtime::FixedToDouble(m.a), runtime::FixedToDouble(m.b), runtime::FixedToDouble(m.c),
          runtime::FixedToDouble(m.d), runtime::FixedToDouble(m.e), runtime::FixedToDouble(m.f)};
}

// Pixels of one bitmap copied scaled into another of the same kind,
// nearest source pixel for each destination pixel.
void CopyNearest(const runtime::HostPixelLayout& from, const runtime::IntRect& source,
                 const runtime::HostPixelLayout& to, const runtime::IntRect& destination) {
  const int32_t bytes = HostPixelBytes(to.kind);
  if (bytes == 0 || from.kind != to.kind || from.firstRow == nullptr || to.firstRow == nullptr) return;
  const int64_t sw = int64_t{source.x1} - source.x0, sh = int64_t{source.y1} - source.y0;
  const int64_t dw = int64_t{destination.x1} - destination.x0, dh = int64_t{destination.y1} - destination.y0;
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  for (int64_t y = 0; y < dh; ++y) {
    const int64_t sy = std::clamp<int64_t>(source.y0 + (2 * y + 1) * sh / (2 * dh), 0, from.height - 1);
    const uint8_t* sourceRow = from.firstRow + sy * from.rowStride;
    uint8_t* row = to.firstRow + (destination.y0 + y) * to.rowStride + int64_t{destination.x0} * bytes;
    for (int64_t x = 0; x < dw; ++x) {
      const int64_t sx = std::clamp<int64_t>(source.x0 + (2 * x + 1) * sw / (2 * dw), 0, from.width - 1);
      std::memcpy(row + x * bytes, sourceRow + sx * bytes, static_cast<size_t>(bytes));
    }
  }
}

}  // namespace

bool ScaledPreview::SameTurn(const PagePlacement& a, const PagePlacement& b) {
  return a.rotation == b.rotation && SignOf(a.matrix.a) == SignOf(b.matrix.a) &&
         SignOf(a.matrix.b) == SignOf(b.matrix.b) && SignOf(a.matrix.c) == SignOf(b.matrix.c) &&
         SignOf(a.matrix.d) == SignOf(b.matrix.d);
}

runtime::IntRect ScaledPreview::Copy(const HostBitmap& from, int32_t fromX, int32_t fromY,
                                     const runtime::Matrix& fromMatrix, HostBitmap& to, int32_t toX, int32_t toY,
                                     const runtime::Matrix& toMatrix) {
  // Old page pixels to new ones: the inverse of the old matrix, then the
  // new one. With the same turn this only scales and moves.
  const Affine p = ToAffine(fromMatrix), q = ToAffine(toMatrix);
  const double det = p.a * p.d - p.b * p.c;
  if (!(std::fabs(det) > 1e-12)) return {};
  const Affine inv{p.d / det, -p.b / det, -p.c / det, p.a / det, (p.c * p.f - p.d * p.e) / det,
                   (p.b * p.e - p.a * p.f) / det};
  const Affine t{inv.a * q.a + inv.b * q.c,        inv.a * q.b + inv.b * q.d,
                 inv.c * q.a + inv.d * q.c,        inv.c * q.b + inv.d * q.d,
                 inv.e * q.a + inv.f * q.c + q.e,  inv.e * q.b + inv.f * q.d + q.f};
  const double sx = t.a, sy = t.d;
  if (std::fabs(t.b) > 1e-6 || std::fabs(t.c) > 1e-6 || !(sx > 0) || !(sy > 0) || sx > 64 || sy > 64 ||
      sx < 1.0 / 64 || sy < 1.0 / 64) {
    return {};
  }
  // The old bitmap's rectangle in the new bitmap, cut to it.
  const double x0 = sx * fromX + t.e - toX, y0 = sy * fromY + t.f - toY;
  const double x1 = sx * (static_cast<double>(fromX) + from.Width()) + t.e - toX;
  const double y1 = sy * (static_cast<double>(fromY) + from.Height()) + t.f - toY;
  const runtime::IntRect destination{
      static_cast<int32_t>(std::clamp(std::ceil(x0 - 0.5), 0.0, static_cast<double>(to.Width()))),
      static_cast<int32_t>(std::clamp(std::ceil(y0 - 0.5), 0.0, static_cast<double>(to.Height()))),
      static_cast<int32_t>(std::clamp(std::ceil(x1 - 0.5), 0.0, static_cast<double>(to.Width()))),
      static_cast<int32_t>(std::clamp(std::ceil(y1 - 0.5), 0.0, static_cast<double>(to.Height())))};
  if (destination.IsEmpty()) return {};
  // The part of the old bitmap that lands there.
  auto back = [&](double v, double origin, double scale, double offset, double to0) {
    return (v + to0 - offset) / scale - origin;
  };
  const runtime::IntRect source{
      static_cast<int32_t>(std::clamp(std::floor(back(destination.x0, fromX, sx, t.e, toX)), 0.0, static_cast<double>(from.Width()))),
      static_cast<int32_t>(std::clamp(std::floor(back(destination.y0, fromY, sy, t.f, toY)), 0.0, static_cast<double>(from.Height()))),
      static_cast<int32_t>(std::clamp(std::ceil(back(destination.x1, fromX, sx, t.e, toX)), 0.0, static_cast<double>(from.Width()))),
      static_cast<int32_t>(std::clamp(std::ceil(back(destination.y1, fromY, sy, t.f, toY)), 0.0, static_cast<double>(from.Height())))};
  if (source.IsEmpty()) return {};
  if (to.StretchFrom(from, {source.x0, source.y0, source.x1, source.y1},
                     {destination.x0, destination.y0, destination.x1, destination.y1})) {
    return destination;
  }
  runtime::HostBitmap& fromHandle = from.Handle();
  runtime::HostBitmap& toHandle = to.Handle();
  const runtime::HostPixelLayout* fromLayout = fromHandle.Begin(0);
  const runtime::HostPixelLayout* toLayout = toHandle.Begin(0);
  if (fromLayout != nullptr && toLayout != nullptr) CopyNearest(*fromLayout, source, *toLayout, destination);
  toHandle.End();
  fromHandle.End();
  return destination;
}

}  // namespace viewer
