#include "runtime/Fixed.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace runtime {

namespace {

constexpr Fixed WrapShiftLeft(Fixed v, int bits) {
  return static_cast<Fixed>(static_cast<uint32_t>(v) << bits);
}

}  // namespace

Fixed FixedFromFloat(double value) {
  if (std::isnan(value)) return 0;
  const double scaled = value * 65536.0;
  if (scaled >= 2147483647.0) return kFixedMax;
  if (scaled < -2147483648.0) return kFixedMin;
  return static_cast<Fixed>(scaled);  // truncates toward zero
}

Fixed FixedFromFloatRounded(double value) {
  if (std::isnan(value)) return 0;
  const double scaled = std::nearbyint(value * 65536.0);
  if (scaled >= 2147483647.0) return kFixedMax;
  if (scaled <= -2147483647.0) return kFixedMin;
  return static_cast<Fixed>(scaled);
}

Fixed FixedMulByFloat(Fixed x, double f) { return FixedMul(x, FixedFromFloat(f)); }

double FixedToDouble(Fixed value) { return value / 65536.0; }

Fixed FixedAddSat(Fixed a, Fixed b) {
  const Fixed sum = WrapAdd(a, b);
  if ((a < 0) == (b < 0) && (sum < 0) != (a < 0)) return a < 0 ? kFixedMin : kFixedMax;
  return sum;
}

Fixed FixedAddSatInto(Fixed& out, Fixed a, Fixed b) {
  const Fixed sum = WrapAdd(a, b);
  if (b < 0 && sum > a) {
    out = kFixedMin;
  } else if (b >= 0 && sum < a) {
    out = kFixedMax;
  } else {
    out = sum;
  }
  return out;
}

Fixed FixedSubSat(Fixed a, Fixed b) {
  const Fixed difference = WrapSub(a, b);
  if ((a < 0) != (b < 0) && (difference < 0) == (b < 0)) return a < 0 ? kFixedMin : kFixedMax;
  return difference;
}

Fixed FixedAddWithOverflow(Fixed& out, Fixed a, Fixed b, int32_t& flag) {
  out = WrapAdd(a, b);
  if ((a > 0 && b > 0 && out < 0) || (a < 0 && b < 0 && out > 0)) flag = 1;
  return out;
}

Fixed FixedMulChecked(Fixed a, Fixed b, int32_t& flag) {
  const bool negative = (a < 0) != (b < 0);
  const uint32_t magnitudeA = static_cast<uint32_t>(AbsSat(a));
  const uint32_t magnitudeB = static_cast<uint32_t>(AbsSat(b));
  const uint32_t ah = magnitudeA >> 16, al = magnitudeA & 0xffff;
  const uint32_t bh = magnitudeB >> 16, bl = magnitudeB & 0xffff;
  if (ah * bh < 32768) {
    // The partial products cannot carry past 32 bits here, so a set top bit
    // means the magnitude exceeds the positive limit.
    const uint32_t product = ((al * bl) >> 16) + ah * bl + bh * al + ((ah * bh) << 16);
    if (static_cast<Fixed>(product) >= 0) {
      const Fixed magnitude = static_cast<Fixed>(product);
      return negative ? -magnitude : magnitude;
    }
  }
  flag = 1;
  return negative ? kFixedMin : kFixedMax;
}

int CountSignificantBits(uint32_t value) {
  return value <= 1 ? 0 : static_cast<int>(std::bit_width(value)) - 1;
}

namespace {

// Step 3 of the division: false when the quotient does not fit in 31 bits.
// Otherwise `exponent` is the exponent of the quotient's top bit and `shift`
// the first shift of the divisor. Needs a dividend and divisor above 0 whose
// exponent ha - hb + 16 is not negative.
bool QuotientFits(uint32_t dividend, uint32_t divisor, int& exponent, int& shift) {
  const int ha = CountSignificantBits(dividend);
  const int hb = CountSignificantBits(divisor);
  exponent = ha - hb + 16;
  shift = 31 - hb;
  if (exponent > 30) {
    if (exponent != 31 || dividend >= (divisor << 15)) return false;
    exponent = 30;
    shift = 30 - hb;
  }
  return true;
}

}  // namespace

Fixed FixedDiv(Fixed a, Fixed b) {
  if (a == 0) return 0;
  const bool negative = (a < 0) != (b < 0);
  const uint32_t dividend = static_cast<uint32_t>(AbsSat(a));
  const uint32_t divisor = static_cast<uint32_t>(AbsSat(b));
  if (divisor == 0) return kFixedMax;
  const int ha = CountSignificantBits(dividend);
  const int hb = CountSignificantBits(divisor);
  if (ha - hb + 16 < 0) return 0;
  int exponent = 0, shift = 0;
  if (!QuotientFits(dividend, divisor, exponent, shift)) return negative ? kFixedMin : kFixedMax;

  // Restoring division with the dividend normalised to bit 31 and the
  // divisor shifted down step by step, k from `shift` down to
  // max(shift - exponent, 0). As long as the divisor loses no bits those
  // steps are exact, so one hardware division does them all.
  const uint32_t remainder0 = dividend << (31 - ha);
  uint32_t quotient = 0;
  uint32_t remainder = 0;
  uint32_t bit = 0;
  if (shift >= exponent) {
    const uint32_t lowest = divisor << (shift - exponent);
    quotient = remainder0 / lowest;
    remainder = remainder0 % lowest;
  } else {
    quotient = (remainder0 / divisor) << (exponent - shift);
    remainder = remainder0 % divisor;
    bit = 1u << (exponent - shift - 1);
  }
  // When the divisor could not be shifted far enough, the low bits come from
  // the divisor shifted right: approximate by a few units.
  for (int j = 1; bit != 0; ++j) {
    const uint32_t trial = j < 32 ? divisor >> j : 0;
    if (trial == 0) break;
    if (remainder >= trial) {
      remainder -= trial;
      quotient += bit;
    }
    bit >>= 1;
  }
  const Fixed magnitude = static_cast<Fixed>(quotient);
  return negative ? -magnitude : magnitude;
}

bool FixedDivOverflows(Fixed a, Fixed b) {
  if (a == 0) return false;
  const uint32_t divisor = static_cast<uint32_t>(AbsSat(b));
  if (divisor == 0) return true;
  const uint32_t dividend = static_cast<uint32_t>(AbsSat(a));
  if (CountSignificantBits(dividend) - CountSignificantBits(divisor) + 16 < 0) return false;
  int exponent = 0, shift = 0;
  return !QuotientFits(dividend, divisor, exponent, shift);
}

Fixed FixedSqrt(Fixed x) {
  if (x < 0) return 0;
  // 64-bit trials: the values never leave the 32-bit range, the wider type
  // only keeps the shifts free of overflow concerns.
  int64_t remainder = x;
  int64_t root = 0;
  int64_t bit = 0x800000;
  int64_t base = 0x40000000;
  auto step = [&](int64_t trial) {
    if (remainder >= trial) {
      root += bit;
      remainder -= trial;
    }
    bit >>= 1;
    base >>= 2;
  };
  for (int i = 8; i >= 1; --i) step(base + (root << i));
  for (int i = 0; i <= 15; ++i) step(base + (root >> i));
  return static_cast<Fixed>(root);
}

Fixed FixedHypotHalving(Fixed& x, Fixed& y) {
  while (Magnitude(x) >= static_cast<uint32_t>(kFixedNinety) ||
         Magnitude(y) >= static_cast<uint32_t>(kFixedNinety)) {
    x /= 2;
    y /= 2;
  }
  return FixedSqrt(FixedMul(x, x) + FixedMul(y, y));
}

Fixed FixedHypotScaled(Fixed x, Fixed y) {
  if (x == 0 && y == 0) return 0;
  uint32_t mx = Magnitude(x);
  uint32_t my = Magnitude(y);
  const bool yGuides = my > mx;
  auto guide = [&] { return yGuides ? my : mx; };
  int down = 0;
  while (guide() >= 0x800000) {
    mx >>= 1;
    my >>= 1;
    ++down;
  }
  int up = 0;
  while (guide() >= 1 && guide() <= 32768) {
    mx <<= 1;
    my <<= 1;
    ++up;
  }
  const Fixed fx = static_cast<Fixed>(mx), fy = static_cast<Fixed>(my);
  const Fixed length = FixedSqrt(FixedMul(fy, fy) + FixedMul(fx, fx));
  const uint64_t result = static_cast<uint64_t>(static_cast<uint32_t>(length >> up)) << down;
  return static_cast<Fixed>(std::min<uint64_t>(result, static_cast<uint64_t>(kFixedMax)));
}

void FixedNormalizePair(Fixed& x, Fixed& y) {
  // The mean magnitude in 64 bits: the sum of two magnitudes may not fit 32.
  int64_t mean = (static_cast<int64_t>(Magnitude(x)) + Magnitude(y)) >> 1;
  while (mean >= 0x80001) {
    x >>= 3;
    y >>= 3;
    mean >>= 3;
  }
  while (mean > 0 && mean < 8192) {
    x = WrapShiftLeft(x, 3);
    y = WrapShiftLeft(y, 3);
    mean <<= 3;
  }
}

Fixed FixedDot2(Fixed x0, Fixed y0, Fixed x1, Fixed y1) {
  FixedNormalizePair(x0, y0);
  FixedNormalizePair(x1, y1);
  return WrapAdd(FixedMul(x0, x1), FixedMul(y0, y1));
}

Fixed FixedDeterminant(Fixed a, Fixed b, Fixed c, Fixed d) {
  int32_t overflow = 0;
  const Fixed ad = FixedMulChecked(a, d, overflow);
  const Fixed cb = FixedMulChecked(c, b, overflow);
  if (overflow != 0) return kFixedMax;
  // Two products that each fit can still differ by more than 32 bits hold;
  // a wrapped difference would carry the wrong sign, so it counts as an
  // overflow too.
  const int64_t difference = static_cast<int64_t>(ad) - cb;
  if (difference > kFixedMax || difference < kFixedLowest) return kFixedMax;
  return static_cast<Fixed>(difference);
}

Fixed FixedMaxAbs(std::span<const Fixed> values) {
  Fixed largest = 0;
  for (Fixed v : values) largest = std::max(largest, AbsSat(v));
  return largest;
}

const Fixed& FixedMin3(const Fixed& p, const Fixed& q, const Fixed& r) {
  const Fixed* least = &p;
  if (q <= *least) least = &q;
  if (r <= *least) least = &r;
  return *least;
}

void FixedNormalizeArray(std::span<Fixed> values, Fixed measure) {
  // A non-positive measure would never reach the target range.
  if (measure <= 0) return;
  while (measure >= 0x400001) {
    for (Fixed& v : values) v /= 2;
    measure /= 2;
  }
  while (measure < 0x200000) {
    for (Fixed& v : values) v = WrapShiftLeft(v, 1);
    measure <<= 1;
  }
}

bool FixedNormalize4(Fixed& a, Fixed& b, Fixed& c, Fixed& d, Fixed& scale, bool byProducts) {
  scale = kFixedOne;
  const Fixed entries[] = {a, b, c, d};
  Fixed largest = FixedMaxAbs(entries);
  if (byProducts) {
    const int64_t cb = static_cast<int64_t>(Magnitude(c) >> 16) * (Magnitude(b) >> 16);
    const int64_t da = static_cast<int64_t>(Magnitude(d) >> 16) * (Magnitude(a) >> 16);
    for (int64_t p = std::max(cb, da); p > 16000; p /= 4) scale >>= 1;
  } else {
    while (largest >= 0x80000) {
      scale >>= 1;
      largest >>= 1;
    }
  }
  // The scale stops at 2^14: beyond it the factor no longer fits 16.16 (and
  // an all-zero matrix would never reach 1.0). Entries of 4/65536 and more
  // reach 1.0 before the cap.
  while (largest < kFixedOne && scale < 0x40000000) {
    scale <<= 1;
    largest <<= 1;
  }
  if (scale == kFixedOne) return false;
  a = FixedMul(a, scale);
  b = FixedMul(b, scale);
  c = FixedMul(c, scale);
  d = FixedMul(d, scale);
  scale = FixedDiv(kFixedOne, scale);
  return true;
}

void FixedScale4(Fixed& a, Fixed& b, Fixed& c, Fixed& d, Fixed s) {
  const Fixed factor = FixedDiv(kFixedOne, s);
  a = FixedMul(a, factor);
  b = FixedMul(b, factor);
  c = FixedMul(c, factor);
  d = FixedMul(d, factor);
}

namespace Int64 {

int64_t AddSaturating(int64_t a, int64_t b) {
  int64_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) return a < 0 ? INT64_MIN : INT64_MAX;
  return sum;
}

}  // namespace Int64

}  // namespace runtime
