#pragma once
// Rectangles of signed 64-bit layout coordinates (the viewer's page grid).
#include <cstdint>

namespace runtime {

struct Rect64 {
  int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;

  bool IsEmpty() const { return x0 >= x1 || y0 >= y1; }
  void Clear() { *this = {}; }
  friend bool operator==(const Rect64&, const Rect64&) = default;

  // As Rect::Intersect: a disjoint result collapses at the larger minimum.
  static Rect64 Intersect(const Rect64& r, const Rect64& s);
  // Every coordinate moved with Int64::AddSaturating.
  static Rect64 OffsetSaturating(const Rect64& r, int64_t dx, int64_t dy);
  // As Rect::Rotate.
  static Rect64 Rotate(int32_t rotation, const Rect64& r);
};

}  // namespace runtime
