#include "color/FixedPow.h"

#include <cstdint>

namespace color {

namespace {

using runtime::FixedDiv;
using runtime::FixedMul;
using runtime::kFixedMax;
using runtime::kFixedOne;

// log2(1 + t) for t in [0, 1), highest power first; the constant term is 0,
// so 1.0 to any power is exactly 1.0.
constexpr Fixed kLog2Coefficients[] = {-1693, 7982, -18212, 29985, -47064, 94538, 0};
// 2^f for f in [0, 1), highest power first.
constexpr Fixed kExp2Coefficients[] = {888, 3409, 15819, 45418, 65536};

// x^k for a whole k >= 0, stopping at the saturation limit instead of
// wrapping (a long run of factors of magnitude above 1.0 would otherwise
// come back as garbage).
Fixed WholePower(Fixed x, uint32_t k) {
  int64_t r = kFixedOne;
  for (uint32_t i = 0; i < k && r != 0; ++i) {
    r = (r * x) >> 16;
    if (r > kFixedMax || r < -kFixedMax) return x < 0 && (k & 1) != 0 ? -kFixedMax : kFixedMax;
  }
  return static_cast<Fixed>(r);
}

// x = m 2^e with m in [1.0, 2.0): writes e and returns log2(m) in 16.16.
Fixed MantissaLog2(Fixed x, int32_t* exponent) {
  uint32_t m = static_cast<uint32_t>(x);
  int32_t e = 0;
  while (m < static_cast<uint32_t>(kFixedOne)) {
    m <<= 1;
    --e;
  }
  while (m >= 2u * kFixedOne) {
    m >>= 1;
    ++e;
  }
  Fixed t = static_cast<Fixed>(m) - kFixedOne;
  Fixed log = 0;
  for (Fixed c : kLog2Coefficients) log = c + FixedMul(log, t);
  *exponent = e;
  return log;
}

}  // namespace

Fixed FixedLog2(Fixed x) {
  if (x <= 0) return 0;
  int32_t e = 0;
  const Fixed log = MantissaLog2(x, &e);
  return log + e * kFixedOne;
}

Fixed FixedPow(Fixed x, Fixed y) {
  if (x == 0) return 0;
  if (x < 0) {
    int32_t whole = y >> 16;
    uint32_t k = whole < 0 ? 0u - static_cast<uint32_t>(whole) : static_cast<uint32_t>(whole);
    Fixed r = WholePower(x, k);
    return whole < 0 ? FixedDiv(kFixedOne, r) : r;
  }
  int32_t e = 0;
  const Fixed log = MantissaLog2(x, &e);
  // The product is kept in 64 bits: a large exponent must saturate, not
  // wrap into a small result.
  int64_t z = (static_cast<int64_t>(y) * (static_cast<int64_t>(log) + e * int64_t{kFixedOne})) >> 16;
  int64_t n = z >> 16;
  if (n < -16) return 0;
  if (n >= 15) return kFixedMax;
  Fixed f = static_cast<Fixed>(z & 0xFFFF);
  Fixed acc = 0;
  for (Fixed c : kExp2Coefficients) acc = c + FixedMul(acc, f);
  return n >= 0 ? static_cast<Fixed>(static_cast<uint32_t>(acc) << n) : acc >> -n;
}

}  // namespace color
