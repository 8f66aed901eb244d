#include "raster/StrokeDriver.h"

#include <algorithm>

#include "raster/Dasher.h"
#include "raster/SegmentPath.h"
#include "raster/Stroker.h"
#include "runtime/Scheduler.h"
#include "runtime/StrokeGeometry.h"

namespace raster {

namespace {

constexpr int32_t kStrokeSegmentWork = 500;

constexpr Fixed kDiagonalExcess = 0x0E14;  // 0.055 device pixel, measured

FixedPoint ScaledByDivisor(FixedPoint p, Fixed divisor) {
  if (divisor == runtime::kFixedOne) return p;
  return {runtime::FixedDiv(p.x, divisor), runtime::FixedDiv(p.y, divisor)};
}

}  // namespace

int StrokeDriver::StrokePath(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                             std::span<const runtime::FixedPoint> path, const runtime::StrokeStyle& source,
                             const runtime::Matrix& matrix, const runtime::IntRect& deviceClip, StoredPath& outline,
                             runtime::Matrix& fillMatrix) {
  fillMatrix = matrix;
  if (path.empty()) return kOutline;

  // A width beyond any view is cut to one that still covers it, so that the
  // set-up never has to refuse it and no offset leaves the 16.16 range.
  runtime::StrokeStyle style(source);
  Fixed larger = 0, smaller = 0;
  runtime::Matrix::ScaleExtremes(matrix, larger, smaller);
  if (larger > 0) {
    const Fixed limit = runtime::FixedDiv(runtime::FixedFromInt(kMaxDeviceWidth), larger);
    if (runtime::AbsSat(style.width) > limit) style.width = limit;
  }
  style.width = runtime::AbsSat(style.width);
  runtime::StrokeGeometry geometry(context, style, deviceClip, matrix);

  // Hairlines (width 0 and anything thinner on the device than 0.3 pixel)
  // are drawn one device pixel wide: three quarters of a pixel, to which
  // the scan converter adds the quarter it adds to every stroke.
  const bool thin = geometry.thin;
  StrokeParameters params =
      StrokeParameters::From(geometry, thin ? std::max<Fixed>(runtime::FixedMul(geometry.inverseScale, 0xC000), 1) : 0);
  const Fixed divisor = geometry.divisor;
  // The set-up narrows a stroke by a quarter pixel because the scan
  // converter covers every sub-pixel a boundary touches. That widens a
  // boundary by an eighth of a pixel when it runs along a device axis and by
  // up to kDiagonalExcess more on a diagonal; strokes the set-up narrowed
  // make up the difference side by side, so that they cover the area an
  // exact renderer gives them.
  if (thin || runtime::FixedMul(geometry.width, divisor) < style.width) {
    params.uniformNarrowing =
        runtime::FixedDiv(runtime::FixedMul(runtime::kFixedOne / 8, geometry.inverseScale), divisor);
    params.diagonalNarrowing = runtime::FixedDiv(runtime::FixedMul(kDiagonalExcess, geometry.inverseScale), divisor);
    params.deviceA = matrix.a;
    params.deviceB = matrix.b;
    params.deviceC = matrix.c;
    params.deviceD = matrix.d;
  }
  if (divisor != runtime::kFixedOne) {
    fillMatrix = runtime::Matrix::Concat(runtime::Matrix{divisor, 0, 0, divisor, 0, 0}, matrix);
    params.clip = {runtime::FixedDiv(params.clip.xmin, divisor), runtime::FixedDiv(params.clip.ymin, divisor),
                   runtime::FixedDiv(params.clip.xmax, divisor), runtime::FixedDiv(params.clip.ymax, divisor),
                   params.clip.clippingOff};
  }

  Stroker stroker(arena, params, outline);
  Dasher* dasher = params.IsDashed() ? runtime::NewInArena<Dasher>(arena, context, arena, params, stroker) : nullptr;
  SubpathConsumer& consumer = dasher != nullptr ? static_cast<SubpathConsumer&>(*dasher) : stroker;
  SegmentPath subpath(arena, params);

  FixedPoint start{}, current{};
  auto flush = [&] {
    if (!subpath.IsEmpty()) consumer.ProcessPath(subpath, 0);
    subpath.Clear();
  };
  for (size_t i = 0; i < path.size(); ++i) {
    const int kind = StoredPath::KindOf(path[i]);
    const FixedPoint p = ScaledByDivisor(StoredPath::Coordinates(path[i]), divisor);
    switch (kind) {
      case 0:
        flush();
        start = current = p;
        break;
      case 1:
        runtime::ChargeWork(context, kStrokeSegmentWork);
        subpath.LineTo(current, p);
        current = p;
        break;
      case 2: {
        if (i + 2 >= path.size()) {
          i = path.size();
          break;
        }
        runtime::ChargeWork(context, kStrokeSegmentWork);
        const FixedPoint c2 = ScaledByDivisor(StoredPath::Coordinates(path[i + 1]), divisor);
        const FixedPoint end = ScaledByDivisor(StoredPath::Coordinates(path[i + 2]), divisor);
        subpath.CurveTo(current, p, c2, end);
        current = end;
        i += 2;
        break;
      }
      default:
        subpath.ClosePath(current, start);
        flush();
        current = start;
        break;
    }
  }
  flush();
  return thin ? kThinOutline : kOutline;
}

}  // namespace raster
