#include "fonts/TtScaler.h"

#include <bit>

#include "fonts/TtFixedMath.h"
#include "runtime/Fixed.h"

namespace fonts {

namespace {

int32_t ClampToInt32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// (v x n + d / 2) / d with halves rounded away from zero.
int32_t DivideRounded(int64_t product, int64_t d) {
  if (product >= 0) return ClampToInt32((product + d / 2) / d);
  return ClampToInt32(-((d / 2 - product) / d));
}

}  // namespace

void TTScaler::ComputeScale(AxisScale& record, int32_t numerator, int32_t denominator) {
  uint32_t n = numerator > 0 ? static_cast<uint32_t>(numerator) : 0;
  uint32_t d = denominator > 0 ? static_cast<uint32_t>(denominator) : 1;
  if (n != 0) {
    // Keep one common factor of two; an odd pair is left alone.
    const int common = std::countr_zero(n | d);
    const int shift = common > 0 ? common - 1 : 0;
    n >>= shift;
    d >>= shift;
  }
  if (n < 0x2000000) {
    n *= 64;
  } else {
    d >>= 6;
    if (d == 0) d = 1;
  }
  record.numerator = static_cast<int32_t>(n);
  record.denominator = static_cast<int32_t>(d);
  record.scale = static_cast<int32_t>(
      ClampToInt32((static_cast<int64_t>(n) << 16) / static_cast<int64_t>(d)));
  const int log2 = Log2Exact(d);
  if (n > 32767) {
    record.form = AxisScale::Form::kMultiply;
    record.shift = 0;
  } else if (log2 >= 0) {
    record.form = AxisScale::Form::kShift;
    record.shift = static_cast<uint16_t>(log2);
  } else {
    record.form = AxisScale::Form::kDivide;
    record.shift = 0;
  }
}

int32_t AxisScale::Apply(int32_t v) const {
  switch (form) {
    case Form::kMultiply:
      return ClampToInt32((static_cast<int64_t>(v) * scale + 0x8000) >> 16);
    case Form::kShift: {
      // Halves round away from zero, as in the divide form, so that a
      // coordinate and its mirror image scale to mirror images.
      if (v < 0) return -Apply(-v);
      const int64_t product = static_cast<int64_t>(v) * numerator;
      return ClampToInt32((product + (int64_t{denominator} >> 1)) >> shift);
    }
    case Form::kDivide:
      return DivideRounded(static_cast<int64_t>(v) * numerator, denominator);
  }
  return 0;
}

int32_t AxisScale::Apply26Dot6(int32_t v) const {
  if (form == Form::kShift && denominator < 511) {
    const int64_t product = static_cast<int64_t>(v) * numerator;
    const int s = shift + 6;
    return ClampToInt32((product + (int64_t{1} << (s - 1))) >> s);
  }
  if (form == Form::kMultiply) {
    return ClampToInt32((static_cast<int64_t>(v) * scale + (int64_t{1} << 21)) >> 22);
  }
  return DivideRounded(static_cast<int64_t>(v) * numerator, int64_t{denominator} * 64);
}

int32_t AxisScale::Unscale(int32_t v) const {
  const int32_t divisor = scale >> 6;
  if (divisor == 0) return 0;
  return runtime::FixedDiv(v, divisor);
}

}  // namespace fonts
