#include "color/FixedPow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace color {
namespace {

struct PowCase {
  Fixed x, y, expected;
};

TEST(FixedPowTest, ExactValues) {
  const PowCase cases[] = {
      {0x8000, 0x23333, 0x37B6},       // 0.5^2.2
      {0x20000, 0x8000, 0x16A09},      // sqrt(2)
      {0x10000, 0x23333, 0x10000},     // 1.0 to any power
      {0x10000, -0x70000, 0x10000},
      {0, 0x23333, 0},
      {-0x20000, 0x28000, 0x40000},    // (-2)^2.5: the fraction is ignored
      {-0x20000, -0x10000, -0x8000},   // (-2)^-1
      {-0x20000, 0x30000, -0x80000},
      {0x100000, 0x40000, 0x7FFFFFFF}, // 16^4 = 2^16 saturates
      {0x10, 0x20000, 0},              // (2^-12)^2 is below 2^-16
      {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF},  // a huge exponent saturates, not wraps
      {0x8000, 0x7FFFFFFF, 0},
      {-0x20000, 0x7FFE0000, 0x7FFFFFFF},  // long whole powers saturate
      {-0x20000, 0x7FFF0000, -0x7FFFFFFF},
  };
  for (const PowCase& c : cases) {
    EXPECT_EQ(FixedPow(c.x, c.y), c.expected) << std::hex << c.x << " ^ " << c.y;
  }
}

// Across the range colour code uses, the result follows the real power
// function closely (relative 2e-4 plus two units of the last place).
TEST(FixedPowTest, FollowsThePowerFunction) {
  const double exponents[] = {0.3333, 0.4545, 1.0, 1.8, 2.2, 2.4, 3.0, -1.0, -0.5};
  for (double e : exponents) {
    Fixed y = static_cast<Fixed>(std::lround(e * 65536));
    for (int64_t x = 1; x <= 0x40000; x += 97) {
      double want = std::pow(x / 65536.0, y / 65536.0) * 65536;
      if (want >= 2147483647.0) continue;
      double got = FixedPow(static_cast<Fixed>(x), y);
      EXPECT_NEAR(got, want, want * 2e-4 + 2) << "x=" << x << " e=" << e;
    }
  }
}

}  // namespace
}  // namespace color
