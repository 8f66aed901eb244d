#include "runtime/Fixed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "tests/support/FixedValues.h"

namespace runtime {
namespace {

using testsupport::F;
constexpr Fixed H(uint32_t bits) { return static_cast<Fixed>(bits); }

TEST(FixedTest, SaturatingAdditionsClampToSymmetricLimits) {
  struct Case {
    const char* name;
    Fixed a, b, add, addInto, sub;
  } cases[] = {
      {"plain", F(1.5), F(2.25), F(3.75), F(3.75), F(-0.75)},
      {"positive overflow", 0x7fff0000, 0x10000, kFixedMax, kFixedMax, 0x7ffe0000},
      {"negative overflow", -0x7fff0000, -0x20000, kFixedMin, kFixedMin, -0x7ffd0000},
      {"lowest plus minus one", kFixedLowest, -1, kFixedMin, kFixedMin, H(0x80000001)},
      {"mixed signs never clamp", kFixedMax, kFixedLowest, -1, -1, kFixedMax},
      {"limit minus positive", H(0x80000001), 0x10000, H(0x80010001), H(0x80010001),
       kFixedMin},
      {"zero minus lowest", 0, kFixedLowest, kFixedLowest, kFixedLowest, kFixedMax},
      {"positive minus negative", 0x7fff0000, -0x20000, 0x7ffd0000, 0x7ffd0000, kFixedMax},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FixedAddSat(c.a, c.b), c.add) << c.name;
    Fixed out = 0;
    EXPECT_EQ(FixedAddSatInto(out, c.a, c.b), c.addInto) << c.name;
    EXPECT_EQ(out, c.addInto) << c.name;
    EXPECT_EQ(FixedSubSat(c.a, c.b), c.sub) << c.name;
  }
}

TEST(FixedTest, AddWithOverflowWrapsAndOnlySetsTheFlag) {
  struct Case {
    Fixed a, b, sum;
    int32_t flag;
  } cases[] = {
      {1, 2, 3, 0},
      {kFixedMax, 1, kFixedLowest, 1},
      {kFixedLowest, -1, kFixedMax, 1},
      {kFixedMax, -1, kFixedMax - 1, 0},
      {0, kFixedLowest, kFixedLowest, 0},
  };
  for (const Case& c : cases) {
    int32_t flag = 0;
    Fixed out = 0;
    EXPECT_EQ(FixedAddWithOverflow(out, c.a, c.b, flag), c.sum);
    EXPECT_EQ(out, c.sum);
    EXPECT_EQ(flag, c.flag) << c.a << " + " << c.b;
  }
  // A set flag stays set after a later sum that fits.
  int32_t flag = 1;
  Fixed out = 0;
  FixedAddWithOverflow(out, 1, 1, flag);
  EXPECT_EQ(flag, 1);
}

TEST(FixedTest, Conversions) {
  struct IntCase {
    int32_t value;
    Fixed saturated;
  } ints[] = {
      {0, 0},           {1, 0x10000},        {-1, H(0xffff0000)},     {32767, 0x7fff0000},
      {32768, kFixedMax}, {-32767, H(0x80010000)}, {-32768, kFixedMin}, {INT32_MIN, kFixedMin},
  };
  for (const IntCase& c : ints) EXPECT_EQ(FixedFromIntSat(c.value), c.saturated) << c.value;
  EXPECT_EQ(FixedFromInt(-2), H(0xfffe0000));
  EXPECT_EQ(FixedFromInt(0x10001), 0x10000);  // plain: high bits drop off

  struct FloatCase {
    double value;
    Fixed fixed;
  } floats[] = {
      {1.0, 0x10000},      {0.3, 19660},          {-0.3, -19660},
      {90.0, 0x5a0000},    {-32768.0, kFixedLowest}, {32768.0, kFixedMax},
      {1e30, kFixedMax},   {-1e30, kFixedMin},    {NAN, 0},
      {INFINITY, kFixedMax}, {1.0 / 131072, 0},   {-1.0 / 131072, 0},
  };
  for (const FloatCase& c : floats) EXPECT_EQ(FixedFromFloat(c.value), c.fixed) << c.value;
  // Rounded to the nearest (halves to even), clamped symmetrically.
  const FloatCase rounded[] = {
      {0.3, 19661},          {-0.3, -19661},       {1.0 / 131072, 0},  {3.0 / 131072, 2},
      {1e30, kFixedMax},     {-1e30, kFixedMin},   {NAN, 0},           {-32768.0, kFixedMin},
  };
  for (const FloatCase& c : rounded) EXPECT_EQ(FixedFromFloatRounded(c.value), c.fixed) << c.value;
  EXPECT_EQ(FixedMulByFloat(0x20000, 0.3), FixedMul(0x20000, 19660));

  struct RoundCase {
    Fixed value;
    int32_t floor, ceil;
  } rounds[] = {
      {0x18000, 1, 2},   {-0x8000, -1, 0},     {0x10000, 1, 1},
      {0, 0, 0},         {0x7fff0000, 32767, 32767}, {0x7fff0001, 32767, 32768},
      {kFixedLowest, -32768, -32768},
  };
  for (const RoundCase& c : rounds) {
    EXPECT_EQ(FixedToIntFloor(c.value), c.floor) << c.value;
    EXPECT_EQ(FixedToIntCeil(c.value), c.ceil) << c.value;
  }
}

TEST(FixedTest, MultiplicationRoundsDifferentlyWhenCheckedOrNot) {
  struct Case {
    const char* name;
    Fixed a, b, plain, checked;
    int32_t flag;
  } cases[] = {
      {"minus one unit", -1, 1, -1, 0, 0},
      {"units", 1, 1, 0, 0, 0},
      {"ones", 0x10000, 0x10000, 0x10000, 0x10000, 0},
      {"halves", F(-1.5), F(2.5), F(-3.75), F(-3.75), 0},
      {"truncation of negative", -3, 0x8000, -2, -1, 0},
      {"largest fitting", 0x7fff0000, 0x10000, 0x7fff0000, 0x7fff0000, 0},
      {"positive overflow", 0x1000000, 0x1000000, 0, kFixedMax, 1},
      {"negative overflow", -0x1000000, 0x1000000, 0, kFixedMin, 1},
      {"just over", 0x8000000, 0x100000, H(0x80000000), kFixedMax, 1},
      {"lowest times one", kFixedLowest, 0x10000, kFixedLowest, -0x7fffffff, 0},
      {"lowest times minus one", kFixedLowest, -0x10000, kFixedLowest, kFixedMax, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FixedMul(c.a, c.b), c.plain) << c.name;
    int32_t flag = 0;
    EXPECT_EQ(FixedMulChecked(c.a, c.b, flag), c.checked) << c.name;
    EXPECT_EQ(flag, c.flag) << c.name;
  }
}

TEST(FixedTest, CheckedMultiplicationIsTheTruncatedProductWhenItFits) {
  std::mt19937 random(7);
  for (int i = 0; i < 200000; ++i) {
    const Fixed a = static_cast<Fixed>(random()) >> (random() % 31);
    const Fixed b = static_cast<Fixed>(random()) >> (random() % 31);
    const int64_t exact = static_cast<int64_t>(a) * b / 65536;  // toward zero
    int32_t flag = 0;
    const Fixed product = FixedMulChecked(a, b, flag);
    if (flag == 0) {
      ASSERT_EQ(product, exact) << a << " * " << b;
      ASSERT_LE(std::llabs(exact), 0x7fffffff);
    } else {
      // Overflow is reported only where the true product is at or beyond
      // the positive limit.
      ASSERT_GE(std::llabs(exact), 0x7fff0000) << a << " * " << b;
    }
  }
}

TEST(FixedTest, DivisionTable) {
  struct Case {
    const char* name;
    Fixed a, b, quotient;
    bool overflows;
  } cases[] = {
      {"third", 0x10000, 0x30000, 0x5555, false},
      {"zero divisor", 0x10000, 0, kFixedMax, true},
      {"negative over zero", -0x10000, 0, kFixedMax, true},
      {"zero over zero", 0, 0, 0, false},
      {"zero dividend", 0, 0x30000, 0, false},
      {"exact", F(7.5), F(2.5), F(3.0), false},
      {"negative", F(-1.0), F(4.0), F(-0.25), false},
      {"both negative", F(-3.0), F(-2.0), F(1.5), false},
      {"quotient too small", 1, 0x7fffffff, 0, false},
      {"unit over large", 0x10000, 0x7fffffff, 2, false},
      {"largest that fits", 0x7fff0000, 0x10000, 0x7fff0000, false},
      {"just too large", 0x40000000, 0x8000, kFixedMax, true},
      {"too large negative", -0x40000000, 0x8000, kFixedMin, true},
      {"exponent 31 that fits", 0x3fffffff, 0x8000, 0x7ffffffe, false},
      {"far too large", kFixedMax, 1, kFixedMax, true},
      {"lowest over one", kFixedLowest, 0x10000, -0x7fffffff, false},
      {"one over lowest", 0x10000, kFixedLowest, -2, false},
      {"unit divisor", 1, 1, 0x10000, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FixedDiv(c.a, c.b), c.quotient) << c.name;
    EXPECT_EQ(FixedDivOverflows(c.a, c.b), c.overflows) << c.name;
  }
}

TEST(FixedTest, DivisionStaysWithinAFewUnitsOfTheTruncatedQuotient) {
  std::mt19937 random(11);
  for (int i = 0; i < 200000; ++i) {
    const Fixed a = static_cast<Fixed>(random()) >> (random() % 31);
    const Fixed b = static_cast<Fixed>(random()) >> (random() % 31);
    if (b == 0 || FixedDivOverflows(a, b)) continue;
    const int64_t exact = (static_cast<int64_t>(AbsSat(a)) << 16) / AbsSat(b);
    const int64_t quotient = std::llabs(FixedDiv(a, b));
    ASSERT_GE(quotient, exact) << a << " / " << b;
    // The low bits divide by the divisor shifted right, which loses at most
    // one unit per such step (fewer than 16 steps).
    ASSERT_LE(quotient, exact + 16) << a << " / " << b;
  }
}

// The division and the root done step by step, bit by bit, as the
// format's arithmetic is defined: results must match these exactly, since
// stroke set-up and matrix inversion feed on the exact low bits.
Fixed ReferenceDiv(Fixed a, Fixed b) {
  if (a == 0) return 0;
  const bool negative = (a < 0) != (b < 0);
  auto magnitude = [](Fixed v) -> uint32_t {
    return v == INT32_MIN ? 0x7fffffffu : static_cast<uint32_t>(v < 0 ? -v : v);
  };
  const uint32_t A = magnitude(a), B = magnitude(b);
  if (B == 0) return kFixedMax;
  auto bits = [](uint32_t v) {
    int h = 0;
    while (v > 1) {
      v >>= 1;
      ++h;
    }
    return h;
  };
  const int ha = bits(A), hb = bits(B);
  int e = ha - hb + 16;
  if (e < 0) return 0;
  int s = 31 - hb;
  if (e > 30) {
    if (e != 31 || A >= static_cast<uint32_t>(B << 15)) return negative ? kFixedMin : kFixedMax;
    e = 30;
    s = 30 - hb;
  }
  uint32_t R = A << (31 - ha), Q = 0, bit = 1u << e;
  for (int k = s; k >= std::max(s - e, 0); --k) {
    const uint32_t D = B << k;
    if (R >= D) {
      Q += bit;
      R -= D;
    }
    bit >>= 1;
  }
  for (int j = 1; bit != 0; ++j) {
    const uint32_t D = j < 32 ? B >> j : 0;
    if (D == 0) break;
    if (R >= D) {
      R -= D;
      Q += bit;
    }
    bit >>= 1;
  }
  return negative ? -static_cast<Fixed>(Q) : static_cast<Fixed>(Q);
}

Fixed ReferenceSqrt(Fixed x) {
  if (x < 0) return 0;
  int64_t R = x, Q = 0, bit = 0x800000, T = 0x40000000;
  auto step = [&](int64_t trial) {
    if (R >= trial) {
      Q += bit;
      R -= trial;
    }
    bit >>= 1;
    T >>= 2;
  };
  for (int i = 8; i >= 1; --i) step(T + (Q << i));
  for (int i = 0; i <= 15; ++i) step(T + (Q >> i));
  return static_cast<Fixed>(Q);
}

TEST(FixedTest, DivisionAndRootAreBitExact) {
  std::mt19937 random(29);
  auto any = [&] {
    const Fixed v = static_cast<Fixed>(random()) >> (random() % 32);
    return (random() & 1) != 0 ? v : -v;
  };
  for (int i = 0; i < 300000; ++i) {
    const Fixed a = any(), b = any();
    ASSERT_EQ(FixedDiv(a, b), ReferenceDiv(a, b)) << a << " / " << b;
    const Fixed x = any();
    ASSERT_EQ(FixedSqrt(x), ReferenceSqrt(x)) << x;
  }
  const Fixed edges[] = {0, 1, -1, 2, 0xffff, 0x10000, 0x10001, 0x7fff, 0x8000, kFixedMax,
                         kFixedMin, kFixedLowest, 0x40000000, 0x3fffffff, 0x00800000};
  for (Fixed a : edges) {
    for (Fixed b : edges) ASSERT_EQ(FixedDiv(a, b), ReferenceDiv(a, b)) << a << " / " << b;
    ASSERT_EQ(FixedSqrt(a), ReferenceSqrt(a)) << a;
  }
}

TEST(FixedTest, CountSignificantBits) {
  struct Case {
    uint32_t value;
    int bits;
  } cases[] = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {0x10000, 16}, {0xffff, 15}, {0x80000000, 31}};
  for (const Case& c : cases) EXPECT_EQ(CountSignificantBits(c.value), c.bits) << c.value;
}

TEST(FixedTest, SquareRootTable) {
  struct Case {
    Fixed x, root;
  } cases[] = {
      {0, 0xff},          {0x10000, 0x10000}, {-1, 0},          {kFixedLowest, 0},
      {F(4.0), F(2.0)},   {F(25.0), F(5.0)},  {F(0.25), F(0.5)}, {F(16384.0), F(128.0)},
  };
  for (const Case& c : cases) EXPECT_EQ(FixedSqrt(c.x), c.root) << c.x;
  // Everywhere else: within a few units, small inputs biased up by < 1/256.
  std::mt19937 random(3);
  for (int i = 0; i < 100000; ++i) {
    const Fixed x = static_cast<Fixed>(random() & 0x7fffffff) >> (random() % 31);
    const double exact = std::sqrt(x / 65536.0) * 65536.0;
    const Fixed root = FixedSqrt(x);
    ASSERT_GE(root, exact - 2) << x;
    ASSERT_LE(root, exact + 256) << x;
  }
}

TEST(FixedTest, Lengths) {
  Fixed x = 0x640000, y = 0;
  EXPECT_EQ(FixedHypotHalving(x, y), 0x320000);
  EXPECT_EQ(x, 0x320000);
  EXPECT_EQ(y, 0);
  x = -0x640001;  // halving truncates toward zero
  y = 0x10001;
  FixedHypotHalving(x, y);
  EXPECT_EQ(x, -0x320000);
  EXPECT_EQ(y, 0x8000);
  x = kFixedLowest;
  y = kFixedMax;
  EXPECT_GT(FixedHypotHalving(x, y), 0);

  struct Case {
    const char* name;
    Fixed x, y, length;
  } cases[] = {
      {"3-4-5", 0x30000, 0x40000, 0x50000},
      {"negative 3-4-5", -0x30000, -0x40000, 0x50000},
      {"zero", 0, 0, 0},
      {"large 3-4-5", F(3000.0), F(4000.0), F(5000.0)},
      {"small 3-4-5", F(3.0 / 128), F(4.0 / 128), F(5.0 / 128)},
      {"clamped", kFixedMax, kFixedMax, kFixedMax},
      {"lowest", kFixedLowest, 0, kFixedMax},
  };
  for (const Case& c : cases) EXPECT_EQ(FixedHypotScaled(c.x, c.y), c.length) << c.name;
}

TEST(FixedTest, NormalisationKeepsDirection) {
  struct PairCase {
    Fixed x, y, nx, ny;
  } pairs[] = {
      {F(1.0), F(2.0), F(1.0), F(2.0)},            // mean 1.5: in range
      {F(64.0), F(0.0), F(8.0), 0},                // mean 32: one step down
      {F(0.01), F(-0.01), F(0.01) * 64, F(-0.01) * 64},  // two steps up
      {0, 0, 0, 0},
      {kFixedLowest, kFixedLowest, -0x80000, -0x80000},
  };
  for (const PairCase& c : pairs) {
    Fixed x = c.x, y = c.y;
    FixedNormalizePair(x, y);
    EXPECT_EQ(x, c.nx) << c.x << "," << c.y;
    EXPECT_EQ(y, c.ny) << c.x << "," << c.y;
  }
  // The dot product keeps the sign of the true one at any scale.
  EXPECT_GT(FixedDot2(F(1000.0), F(1.0), F(0.001), F(0.0)), 0);
  EXPECT_LT(FixedDot2(F(-1000.0), F(1.0), F(0.001), F(0.0)), 0);
  EXPECT_EQ(FixedDot2(F(1.0), F(0.0), F(0.0), F(5.0)), 0);

  struct DeterminantCase {
    const char* name;
    Fixed a, b, c, d, det;
  } determinants[] = {
      {"identity", F(1), 0, 0, F(1), F(1)},
      {"plain", F(2), F(3), F(4), F(5), F(-2)},
      {"product overflows", 0x1000000, 0, 0, 0x1000000, kFixedMax},
      {"negative product overflows", -0x1000000, 0, 0, 0x1000000, kFixedMax},
      {"difference overflows", 0x7fff0000, F(-1), F(1), F(1), kFixedMax},
  };
  for (const DeterminantCase& c : determinants)
    EXPECT_EQ(FixedDeterminant(c.a, c.b, c.c, c.d), c.det) << c.name;

  const Fixed values[] = {F(1), F(-3), F(2)};
  EXPECT_EQ(FixedMaxAbs(values), F(3));
  const Fixed lowest[] = {kFixedLowest};
  EXPECT_EQ(FixedMaxAbs(lowest), kFixedMax);

  const Fixed p = 1, q = 1, r = 2;
  EXPECT_EQ(&FixedMin3(p, q, r), &q);  // ties: the later argument
  const Fixed s = 1;
  EXPECT_EQ(&FixedMin3(p, q, s), &s);
  EXPECT_EQ(&FixedMin3(r, q, r), &q);
  EXPECT_EQ(SignOf(-5), -1);
  EXPECT_EQ(SignOf(0), 0);
  EXPECT_EQ(SignOf(kFixedMax), 1);
}

TEST(FixedTest, ArrayNormalisationEndsIn32To64) {
  Fixed big[] = {F(1000.0), F(-500.0), 3};
  FixedNormalizeArray(big, F(1000.0));
  EXPECT_EQ(big[0], F(62.5));  // halved four times
  EXPECT_EQ(big[1], F(-31.25));
  EXPECT_EQ(big[2], 0);
  Fixed small[] = {F(0.5), F(-0.25)};
  FixedNormalizeArray(small, F(0.5));
  EXPECT_EQ(small[0], F(32.0));
  EXPECT_EQ(small[1], F(-16.0));
  Fixed untouched[] = {F(5.0)};
  FixedNormalizeArray(untouched, 0);
  FixedNormalizeArray(untouched, -1);
  EXPECT_EQ(untouched[0], F(5.0));
}

TEST(FixedTest, FourValueNormalisation) {
  struct Case {
    const char* name;
    Fixed a, b, c, d;
    bool byProducts, scaled;
    Fixed na, nb, nc, nd, undo;
  } cases[] = {
      {"in range", F(2), 0, 0, F(3), false, false, F(2), 0, 0, F(3), F(1)},
      {"large plain", F(20), 0, 0, F(1), false, true, F(5), 0, 0, F(0.25), F(4)},
      {"small plain", F(0.25), 0, 0, F(0.125), false, true, F(1), 0, 0, F(0.5), F(0.25)},
      {"products in range", F(100), 0, 0, F(100), true, false, F(100), 0, 0, F(100), F(1)},
      {"large products", F(1000), 0, 0, F(1000), true, true, F(125), 0, 0, F(125), F(8)},
      {"small products", F(0.5), 0, 0, F(0.5), true, true, F(1), 0, 0, F(1), F(0.5)},
      {"tiny entries stop at 2^14", 1, 0, 0, 0, false, true, 0x4000, 0, 0, 0, 4},
      {"zero matrix", 0, 0, 0, 0, true, true, 0, 0, 0, 0, 4},
  };
  for (const Case& c : cases) {
    Fixed a = c.a, b = c.b, cc = c.c, d = c.d, scale = 0;
    EXPECT_EQ(FixedNormalize4(a, b, cc, d, scale, c.byProducts), c.scaled) << c.name;
    EXPECT_EQ(a, c.na) << c.name;
    EXPECT_EQ(b, c.nb) << c.name;
    EXPECT_EQ(cc, c.nc) << c.name;
    EXPECT_EQ(d, c.nd) << c.name;
    EXPECT_EQ(scale, c.undo) << c.name;
  }
  Fixed a = F(1), b = F(2), c = F(-4), d = F(0.5);
  FixedScale4(a, b, c, d, F(0.5));
  EXPECT_EQ(a, F(2));
  EXPECT_EQ(b, F(4));
  EXPECT_EQ(c, F(-8));
  EXPECT_EQ(d, F(1));
}

TEST(FixedTest, Int64SaturatingAddition) {
  struct Case {
    int64_t a, b, sum;
  } cases[] = {
      {INT64_MAX, 1, INT64_MAX},
      {INT64_MIN, -1, INT64_MIN},
      {INT64_MIN, INT64_MAX, -1},
      {5, -7, -2},
  };
  for (const Case& c : cases) EXPECT_EQ(Int64::AddSaturating(c.a, c.b), c.sum);
}

}  // namespace
}  // namespace runtime
