#include "runtime/Rect64.h"

#include <algorithm>

#include "runtime/Fixed.h"

namespace runtime {

namespace {

// The lowest value has no positive counterpart: it becomes the highest.
int64_t Negate(int64_t v) { return v == INT64_MIN ? INT64_MAX : -v; }

}  // namespace

Rect64 Rect64::Intersect(const Rect64& r, const Rect64& s) {
  Rect64 out{std::max(r.x0, s.x0), std::max(r.y0, s.y0), std::min(r.x1, s.x1),
             std::min(r.y1, s.y1)};
  if (out.x1 < out.x0) out.x1 = out.x0;
  if (out.y1 < out.y0) out.y1 = out.y0;
  return out;
}

Rect64 Rect64::OffsetSaturating(const Rect64& r, int64_t dx, int64_t dy) {
  return {Int64::AddSaturating(r.x0, dx), Int64::AddSaturating(r.y0, dy),
          Int64::AddSaturating(r.x1, dx), Int64::AddSaturating(r.y1, dy)};
}

Rect64 Rect64::Rotate(int32_t rotation, const Rect64& r) {
  switch (rotation) {
    case 0:
      return r;
    case 90:
      return {Negate(r.y1), r.x0, Negate(r.y0), r.x1};
    case 180:
      return {Negate(r.x1), Negate(r.y1), Negate(r.x0), Negate(r.y0)};
    default:
      return {r.y0, Negate(r.x1), r.y1, Negate(r.x0)};
  }
}

}  // namespace runtime
