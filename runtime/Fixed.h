#pragma once
// Signed 16.16 fixed-point numbers and their primitive operations.
//
// All geometry of the library (coordinates, matrices, widths, zoom factors)
// is carried in `Fixed`. Golden outputs depend on every operation rounding
// and saturating exactly as written here, so each one spells out its
// arithmetic; none relies on signed overflow (wrap-around, where wanted, is
// done in unsigned arithmetic).
#include <cstdint>
#include <span>

namespace runtime {

using Fixed = int32_t;

inline constexpr Fixed kFixedOne = 0x10000;
inline constexpr Fixed kFixedHalf = 0x8000;
// The saturation limits are negations of each other; 0x80000000 is never
// produced by a saturating operation.
inline constexpr Fixed kFixedMax = 0x7fffffff;
inline constexpr Fixed kFixedMin = -0x7fffffff;  // 0x80000001
// The lowest 32-bit value: only the lower edge of an unbounded rectangle.
inline constexpr Fixed kFixedLowest = INT32_MIN;
// 90.0: beyond this a length or angle leaves the range the geometry needs.
inline constexpr Fixed kFixedNinety = 0x5a0000;

// A point of 16.16 coordinates.
struct FixedPoint {
  Fixed x = 0;
  Fixed y = 0;
  friend bool operator==(const FixedPoint&, const FixedPoint&) = default;
};

// ---- Wrapping helpers (two's complement, as the 32-bit machine does) ----

constexpr Fixed WrapAdd(Fixed a, Fixed b) {
  return static_cast<Fixed>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
constexpr Fixed WrapSub(Fixed a, Fixed b) {
  return static_cast<Fixed>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
// Negation that keeps the saturation limits symmetric: the lowest value,
// which has no positive counterpart, becomes the positive limit.
constexpr Fixed NegateSat(Fixed v) { return v == kFixedLowest ? kFixedMax : -v; }
// |v| as an unsigned value (|0x80000000| is 0x80000000).
constexpr uint32_t Magnitude(Fixed v) {
  return v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
}
// |v| with |0x80000000| taken as 0x7fffffff.
constexpr Fixed AbsSat(Fixed v) { return v < 0 ? NegateSat(v) : v; }

// ---- Conversions ----

// Plain conversion for integers known to be small (pixel coordinates).
constexpr Fixed FixedFromInt(int32_t value) {
  return static_cast<Fixed>(static_cast<uint32_t>(value) << 16);
}
// Saturating conversion: integers outside -32767..32767 clamp to the limits.
constexpr Fixed FixedFromIntSat(int32_t value) {
  if (value < -32767) return kFixedMin;
  if (value > 32767) return kFixedMax;
  return FixedFromInt(value);
}
// value × 65536 truncated toward zero. A value that does not fit clamps to
// the limits and NaN gives 0: a float conversion out of range would be
// undefined.
Fixed FixedFromFloat(double value);
// value × 65536 rounded to the nearest; clamps like FixedFromFloat, NaN
// gives 0. For matrices set up in doubles and handed back in 16.16.
Fixed FixedFromFloatRounded(double value);
// FixedMul(x, f as Fixed).
Fixed FixedMulByFloat(Fixed x, double f);
double FixedToDouble(Fixed value);
// Floor: arithmetic shift right 16.
constexpr int32_t FixedToIntFloor(Fixed value) { return value >> 16; }
// Ceiling: (value + 0xffff) >> 16, computed without wrapping (values above
// 0x7fff0000 give 32768).
constexpr int32_t FixedToIntCeil(Fixed value) {
  return static_cast<int32_t>((static_cast<int64_t>(value) + 0xffff) >> 16);
}

// ---- Additions ----

// a + b; an overflow clamps to 0x7fffffff or 0x80000001 by the sign of a.
Fixed FixedAddSat(Fixed a, Fixed b);
// The same saturating sum, tested against the start value a; writes out and
// returns it.
Fixed FixedAddSatInto(Fixed& out, Fixed a, Fixed b);
// a - b; an overflow clamps to 0x7fffffff or 0x80000001 by the sign of a.
Fixed FixedSubSat(Fixed a, Fixed b);
// Stores the wrapped sum and sets `flag` (never clears it) on overflow.
Fixed FixedAddWithOverflow(Fixed& out, Fixed a, Fixed b, int32_t& flag);

// ---- Multiplication and division ----

// Bits 16..47 of the 64-bit product: rounds toward minus infinity, wraps.
constexpr Fixed FixedMul(Fixed a, Fixed b) {
  return static_cast<Fixed>((static_cast<int64_t>(a) * b) >> 16);
}
// Rounds toward zero; an overflow saturates and sets `flag`.
Fixed FixedMulChecked(Fixed a, Fixed b, int32_t& flag);
// Long division: 0 for a = 0, 0x7fffffff for b = 0, saturates otherwise.
Fixed FixedDiv(Fixed a, Fixed b);
// True when FixedDiv(a, b) would saturate.
bool FixedDivOverflows(Fixed a, Fixed b);
// Index of the highest set bit (0 for both 0 and 1).
int CountSignificantBits(uint32_t value);

// ---- Roots and lengths ----

// Bitwise root with 24 result bits; 0 for negative x, 0xff for 0.
Fixed FixedSqrt(Fixed x);
// Halves x and y in place until both are below 90.0, then returns the
// length of the halved pair (not scaled back).
Fixed FixedHypotHalving(Fixed& x, Fixed& y);
// The length of (x, y), at most 0x7fffffff; the inputs are untouched.
Fixed FixedHypotScaled(Fixed x, Fixed y);

// ---- Normalisation ----

// Scales x and y in place by a common power of 8 so that their mean
// magnitude ends in 0.125..8.0.
void FixedNormalizePair(Fixed& x, Fixed& y);
// Sign-correct dot product of two vectors each normalised by
// FixedNormalizePair; its magnitude is only good for angle tests.
Fixed FixedDot2(Fixed x0, Fixed y0, Fixed x1, Fixed y1);
// a·d - c·b with checked products; 0x7fffffff when either product or the
// difference does not fit.
Fixed FixedDeterminant(Fixed a, Fixed b, Fixed c, Fixed d);
// The largest magnitude among the values (at least one).
Fixed FixedMaxAbs(std::span<const Fixed> values);
// The least of three values; on ties the later argument wins.
const Fixed& FixedMin3(const Fixed& p, const Fixed& q, const Fixed& r);
constexpr int SignOf(int64_t v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }
// Halves or doubles all values together until `measure` (their largest
// magnitude, positive) lies in 32.0..64.0.
void FixedNormalizeArray(std::span<Fixed> values, Fixed measure);
// Pre-scales a 2×2 matrix by a power of two. `byProducts` bounds the
// products a·d and c·b (before inversion); otherwise the largest entry is
// brought below 8.0. Both then raise an entry below 1.0 to at least 1.0.
// Returns false (values untouched, scale 1.0) when no scaling was needed;
// otherwise scales a..d and sets `scale` to the factor that undoes it.
bool FixedNormalize4(Fixed& a, Fixed& b, Fixed& c, Fixed& d, Fixed& scale, bool byProducts);
// Multiplies each value by FixedDiv(1.0, s).
void FixedScale4(Fixed& a, Fixed& b, Fixed& c, Fixed& d, Fixed s);

// Signed 64-bit layout coordinates.
namespace Int64 {
// a + b clamped to the 64-bit limits.
int64_t AddSaturating(int64_t a, int64_t b);
}  // namespace Int64

}  // namespace runtime
