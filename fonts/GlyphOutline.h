#pragma once
// The sink through which charstrings draw: every point goes to device
// space (x scaled, sheared by y and offset; y through the hint map) and is
// appended to the glyph's point list, the point kind in bit 0 of x and y:
// 0 moveto, 1 lineto, 2 curve point (three make a cubic), 3 closepath.
#include <cstdint>
#include <span>

#include "fonts/CharstringHints.h"
#include "runtime/ArenaVector.h"
#include "runtime/Fixed.h"

namespace fonts {

using runtime::FixedPoint;

enum class PointKind : int { kMove = 0, kLine = 1, kCurve = 2, kClose = 3 };

class GlyphOutline {
 public:
  GlyphOutline(runtime::ArenaVector<FixedPoint>& points, Fixed xScale, Fixed xShear,
               Fixed xOffset)
      : points_(points), xScale_(xScale), xShear_(xShear), xOffset_(xOffset) {}

  // Encodes and appends one point: bit 0 cleared, a cleared 0x80000000
  // written as 0x80000002, then the kind bits.
  static FixedPoint Encode(Fixed x, Fixed y, PointKind kind);
  static PointKind KindOf(FixedPoint p) { return static_cast<PointKind>((p.x & 1) + 2 * (p.y & 1)); }
  void AppendPoint(Fixed x, Fixed y, PointKind kind) { points_.PushBack(Encode(x, y, kind)); }

  // The hint state maps y; it changes across the runs of a seac.
  void SetHints(CharstringHints* hints) { hints_ = hints; }
  CharstringHints* Hints() const { return hints_; }

  void MoveTo(Fixed x, Fixed y);
  // A subpath start with y unmapped (the Type 1 side bearing point).
  void StartAt(Fixed x, Fixed y);
  void LineTo(Fixed x, Fixed y);
  void CurveTo(Fixed x1, Fixed y1, Fixed x2, Fixed y2, Fixed x3, Fixed y3);
  // Starts a subpath at the glyph origin when none is open.
  void EnsureStarted();
  void Close();
  bool IsOpen() const { return open_; }

  Fixed DeviceX(Fixed x, Fixed y) const;
  Fixed DeviceY(Fixed y);

  // The Type 2 flex operators: `present` says which of dx1..dy6 the stack
  // holds; the current point (x, y) moves to point 6; the stack is cleared.
  void Flex(CharstringStack& stack, const uint8_t present[12], bool isFlex1, Fixed& x, Fixed& y);

 private:
  runtime::ArenaVector<FixedPoint>& points_;
  CharstringHints* hints_ = nullptr;
  Fixed xScale_;
  Fixed xShear_;
  Fixed xOffset_;
  bool open_ = false;
};

// TrueType quadratic contours (26.6 points, on-curve flags, end-point
// indexes) to the same point list, with cubic curves.
void QuadContoursToPath(runtime::ArenaVector<FixedPoint>& out, std::span<const int32_t> x,
                        std::span<const int32_t> y, std::span<const uint8_t> onCurve,
                        std::span<const uint16_t> contourEnds);

}  // namespace fonts
