#pragma once
// The per-axis scale of a TrueType instance: font units to 26.6 device
// units at a given pixels per em. The ratio is reduced by its common
// factors of two and applied in one of three exact forms (a shift, a
// rounded division, or a 16.16 multiply for large numerators), so that a
// scaled coordinate never depends on floating point.
#include <cstdint>

namespace fonts {

struct AxisScale {
  enum class Form : uint8_t { kMultiply, kShift, kDivide };
  int32_t scale = 0;  // 16.16: font unit to 26.6
  int32_t numerator = 0;
  int32_t denominator = 1;
  uint16_t shift = 0;
  Form form = Form::kDivide;

  // A font-unit value in 26.6.
  int32_t Apply(int32_t v) const;
  // The same with halves rounded away from zero whatever the form, so
  // that a negative offset lands where its positive mirror does.
  int32_t ApplySymmetric(int32_t v) const { return v < 0 ? -Apply(-v) : Apply(v); }
  // A value already in 26.6 font units (font units x 64) in 26.6 device
  // units: the same ratio with 6 more bits of shift.
  int32_t Apply26Dot6(int32_t v) const;
  // A 26.6 device value back in font units (16.16 division by the scale).
  int32_t Unscale(int32_t v) const;
};

class TTScaler {
 public:
  // numerator: pixels per em as 16.16; denominator: unitsPerEm as 16.16.
  static void ComputeScale(AxisScale& record, int32_t numerator, int32_t denominator);
};

}  // namespace fonts
