#include "fonts/TtFixedMath.h"

#include <bit>
#include <cstdlib>

namespace fonts {

namespace {

int32_t SaturateTo32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

uint64_t Magnitude64(int64_t v) {
  return v < 0 ? uint64_t{0} - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
}

// Rounded square root of a 64-bit value, bit by bit.
uint64_t RoundedIsqrt64(uint64_t v) {
  uint64_t root = 0;
  uint64_t bit = uint64_t{1} << 62;
  while (bit > v) bit >>= 2;
  while (bit != 0) {
    if (v >= root + bit) {
      v -= root + bit;
      root = (root >> 1) + bit;
    } else {
      root >>= 1;
    }
    bit >>= 2;
  }
  // v is now x - root^2; round up when x > root^2 + root.
  if (v > root) ++root;
  return root;
}

}  // namespace

int64_t Mul32To64(int32_t a, int32_t b) {
  const uint64_t ua = Magnitude64(a), ub = Magnitude64(b);
  // From the 16-bit halves of the magnitudes, as a 32-bit machine does.
  const uint64_t lo = (ua & 0xFFFF) * (ub & 0xFFFF);
  const uint64_t mid = (ua >> 16) * (ub & 0xFFFF) + (ua & 0xFFFF) * (ub >> 16);
  const uint64_t hi = (ua >> 16) * (ub >> 16);
  const uint64_t product = lo + (mid << 16) + (hi << 32);
  const bool negative = (a < 0) != (b < 0);
  return negative ? -static_cast<int64_t>(product) : static_cast<int64_t>(product);
}

int32_t Div64By32Round(int32_t c, int64_t p) {
  const bool negative = (c < 0) != (p < 0);
  if (c == 0) {
    if (p == 0) return 0;
    return p < 0 ? INT32_MIN : INT32_MAX;
  }
  const uint64_t uc = Magnitude64(c);
  const uint64_t up = Magnitude64(p);
  if (up > UINT64_MAX - uc / 2) return negative ? INT32_MIN : INT32_MAX;
  const uint64_t q = (up + uc / 2) / uc;
  if (negative) return q > uint64_t{0x80000000} ? INT32_MIN : static_cast<int32_t>(-static_cast<int64_t>(q));
  return q > uint64_t{INT32_MAX} ? INT32_MAX : static_cast<int32_t>(q);
}

int32_t FixedMulDiv(int32_t a, int32_t b, int32_t c) { return Div64By32Round(c, Mul32To64(a, b)); }

int32_t MulF2Dot14(int32_t a, int32_t b) {
  return SaturateTo32((Mul32To64(a, b) + 8192) >> 14);
}

int32_t MulF2Dot30(int32_t a, int32_t b) {
  if (a == 0 || b == 0) return 0;
  const int64_t p = Mul32To64(a, b);
  const bool negative = p < 0;
  const uint64_t m = (Magnitude64(p) + (uint64_t{1} << 29)) >> 30;
  if (negative) return m > uint64_t{0x80000000} ? INT32_MIN : static_cast<int32_t>(-static_cast<int64_t>(m));
  return m > uint64_t{INT32_MAX} ? INT32_MAX : static_cast<int32_t>(m);
}

int32_t MulF26Dot6(int32_t a, int32_t b) {
  const bool negative = (a < 0) != (b < 0);
  const uint64_t ua = Magnitude64(a), ub = Magnitude64(b);
  uint64_t m;
  if (ua < 46341 && ub < 46341) {
    m = (static_cast<uint32_t>(ua * ub) + 32u) >> 6;  // fits 32 bits
  } else {
    m = (ua * ub + 32) >> 6;
  }
  if (negative) return m > uint64_t{0x80000000} ? INT32_MIN : static_cast<int32_t>(-static_cast<int64_t>(m));
  return m > uint64_t{INT32_MAX} ? INT32_MAX : static_cast<int32_t>(m);
}

int32_t FixedSqrtFnt(int32_t x) {
  if (x < 0) return INT32_MIN;
  return static_cast<int32_t>(RoundedIsqrt64(static_cast<uint64_t>(x)));
}

int Log2Exact(uint32_t x) {
  if (x == 0 || (x & (x - 1)) != 0) return -1;
  return std::countr_zero(x);
}

UnitVector TtComputeUnitVector(int32_t dx, int32_t dy) {
  if (dx == 0 && dy == 0) return {};
  int64_t x = dx, y = dy;
  // Bring the larger component into [2^28, 2^30): the squared length then
  // fits 64 bits and its root keeps about 28 significant bits.
  while (std::llabs(x) >= (int64_t{1} << 30) || std::llabs(y) >= (int64_t{1} << 30)) {
    x /= 2;
    y /= 2;
  }
  while (std::llabs(x) < (int64_t{1} << 28) && std::llabs(y) < (int64_t{1} << 28)) {
    x *= 2;
    y *= 2;
  }
  const uint64_t length = RoundedIsqrt64(static_cast<uint64_t>(x * x) + static_cast<uint64_t>(y * y));
  auto component = [length](int64_t v) {
    // Rounded in 16.16 first, then cut to 2.14, as the common
    // interpreters do, so that hinted outlines along a slanted vector
    // land where fonts were tuned to see them.
    const uint64_t m16 = (Magnitude64(v) * 65536 + length / 2) / length;
    const uint64_t m = m16 / 4;
    const int64_t r = static_cast<int64_t>(m > 16384 ? 16384 : m);
    return static_cast<int16_t>(v < 0 ? -r : r);
  };
  return {component(x), component(y)};
}

}  // namespace fonts
