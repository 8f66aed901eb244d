#pragma once
// The stroke parameters of a graphics state: width, miter limit, cap, join
// and the dash pattern. Lengths are in user space.
#include <cstdint>
#include <span>

#include "runtime/Fixed.h"
#include "runtime/SmallArray.h"

namespace runtime {

class LibraryContext;
struct Matrix;
struct StrokeGeometry;

struct StrokeStyle {
  static constexpr Fixed kDefaultMiterLimit = 0xA0000;  // 10.0
  enum LineCap : int32_t { kButtCap = 0, kRoundCap = 1, kSquareCap = 2 };
  enum LineJoin : int32_t { kMiterJoin = 0, kRoundJoin = 1, kBevelJoin = 2 };

  // The default state: width 1.0, miter limit 10.0, butt caps, mitred
  // joins, solid.
  explicit StrokeStyle(LibraryContext* context) : dashes(context, 0) {}
  StrokeStyle(const StrokeStyle&) = default;
  StrokeStyle& operator=(const StrokeStyle&) = default;

  // Dash patterns longer than this draw solid. Real patterns have a few
  // entries; a hostile one of millions would be copied on every save of the
  // graphics state and held by every program that records it.
  static constexpr uint32_t kMaxDashes = 1024;

  // Replaces the dash pattern (the array is resized first, so a failed
  // allocation leaves the old pattern). More than kMaxDashes lengths give
  // a solid line.
  void SetDash(std::span<const Fixed> values, Fixed phase);
  bool IsDashed() const { return dashes.Count() != 0; }

  // Rescales a stroke set-up whose width is too large for the geometry
  // code: every length is divided by the width (limited so that the
  // matrix's largest entry cannot push it past the range), the divisor is
  // recorded, and the half width and its square are stored. Throws
  // (runtime, 6) when even the limited divisor leaves the width at 90.0 or
  // more.
  static void NormalizeByWidth(StrokeGeometry& geometry, const Matrix& matrix);

  Fixed width = kFixedOne;
  Fixed miterLimit = kDefaultMiterLimit;
  int32_t lineCap = kButtCap;
  int32_t lineJoin = kMiterJoin;
  Fixed dashPhase = 0;
  SmallArray8<Fixed> dashes;
};

}  // namespace runtime
