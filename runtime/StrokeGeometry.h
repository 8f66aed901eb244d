#pragma once
// A stroke style turned into numbers that suit the current matrix, built
// once per stroked path: an effective width that neither vanishes nor
// explodes on the device, quarter-pixel tolerances in user space, the
// user-space rectangle outside which nothing stroked can show, and the
// thin-line flag.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"
#include "runtime/SmallArray.h"
#include "runtime/StrokeStyle.h"

namespace runtime {

class LibraryContext;

struct StrokeGeometry {
  // Device widths below 0.3 are thin: 19661 is 0.3 rounded up, so that
  // exactly 0.3 is not thin.
  static constexpr Fixed kThinLimit = 19661;
  static constexpr int32_t kLevelLimit = 6;

  // Throws (runtime, 6) when the width cannot be brought into range.
  StrokeGeometry(LibraryContext* context, const StrokeStyle& style, const IntRect& deviceClip,
                 const Matrix& matrix);

  // The user-space width to stroke with; `deviceWidth` receives the width
  // on the device.
  static Fixed EffectiveWidth(const StrokeStyle& style, const Matrix& matrix, Fixed& deviceWidth);
  static Rect CullRect(const StrokeStyle& style, const IntRect& deviceClip, const Matrix& matrix);
  static bool IsThin(const StrokeStyle& style, const Matrix& matrix);
  // max(0.25 / larger scale, 64/65536).
  static Fixed Tolerance(const Matrix& matrix);
  // 0.25 / larger scale.
  static Fixed QuarterPixel(const Matrix& matrix);

  const StrokeStyle* style = nullptr;
  Fixed divisor = kFixedOne;
  Fixed dashPhase = 0;
  SmallArray4<Fixed> dashes;
  Fixed inverseScale = 0;
  Rect cullRect;
  Fixed tolerance = 0;
  Fixed undashedTolerance = 0;
  int32_t levelLimit = kLevelLimit;
  bool thin = false;
  Fixed width = 0;
  Fixed halfWidth = 0;
  Fixed halfWidthSquared = 0;
};

}  // namespace runtime
