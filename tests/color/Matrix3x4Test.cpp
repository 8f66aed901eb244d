#include "color/Matrix3x4.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace color {
namespace {

using runtime::kFixedOne;

Matrix3x4 FromDoubles(const double (&v)[3][4]) {
  Matrix3x4 m;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) m.m[r][c] = static_cast<Fixed>(std::lround(v[r][c] * 65536));
  }
  return m;
}

void ApplyDouble(const double (&v)[3][4], double x[3]) {
  double o[3];
  for (int r = 0; r < 3; ++r) o[r] = v[r][0] * x[0] + v[r][1] * x[1] + v[r][2] * x[2] + v[r][3];
  for (int r = 0; r < 3; ++r) x[r] = o[r];
}

const double kA[3][4] = {{0.5, 0.25, -0.125, 0.1}, {0.2, 0.9, 0.05, -0.2}, {-0.3, 0.1, 1.2, 0.05}};
const double kB[3][4] = {{1.1, 0.0, 0.3, 0.25}, {-0.4, 0.8, 0.1, 0.0}, {0.05, 0.2, 0.7, -0.1}};

TEST(Matrix3x4Test, MultiplyComposesCoefficientsAndOffsets) {
  Matrix3x4 a = FromDoubles(kA);
  ASSERT_TRUE(a.Multiply(FromDoubles(kB)));
  const double inputs[][3] = {{0, 0, 0}, {1, 0.5, 0.25}, {0.3, 0.9, 0.1}};
  for (const auto& in : inputs) {
    double want[3] = {in[0], in[1], in[2]};
    ApplyDouble(kB, want);
    ApplyDouble(kA, want);
    Fixed got[3];
    for (int i = 0; i < 3; ++i) got[i] = static_cast<Fixed>(std::lround(in[i] * 65536));
    a.Apply(got);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i] / 65536.0, want[i], 2e-4);
  }
}

TEST(Matrix3x4Test, MultiplyRefusesOverflowAndKeepsTheMatrix) {
  Matrix3x4 big = Matrix3x4::Identity();
  big.m[0][0] = 0x7FFF0000;
  Matrix3x4 before = big;
  EXPECT_FALSE(big.Multiply(big));
  EXPECT_EQ(std::memcmp(&big, &before, sizeof big), 0);
}

TEST(Matrix3x4Test, InvertUndoesTheMap) {
  Matrix3x4 m = FromDoubles(kA);
  Matrix3x4 inverse = m;
  ASSERT_TRUE(Matrix3x3::Invert(inverse));
  Fixed v[3] = {20000, 40000, 60000};
  Fixed w[3] = {v[0], v[1], v[2]};
  m.Apply(w);
  inverse.Apply(w);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(w[i], v[i], 8);
}

TEST(Matrix3x4Test, InvertRefusesSingularAndKeepsTheMatrix) {
  const double singular[3][4] = {{1, 2, 3, 0}, {2, 4, 6, 0}, {0, 1, 1, 0}};
  Matrix3x4 m = FromDoubles(singular);
  Matrix3x4 before = m;
  EXPECT_EQ(Matrix3x3::Determinant(m), 0);
  EXPECT_FALSE(Matrix3x3::Invert(m));
  EXPECT_EQ(std::memcmp(&m, &before, sizeof m), 0);
  // A tiny determinant whose inverse would not fit is refused too.
  Matrix3x4 tiny = Matrix3x4::Identity();
  tiny.m[0][0] = 1;
  EXPECT_FALSE(Matrix3x3::Invert(tiny));
}

TEST(Matrix3x4Test, SmallNegativeDeterminantInvertsLikeItsPositiveCounterpart) {
  const double positive[3][4] = {{0.5, 0, 0, 0}, {0, 0.5, 0, 0}, {0, 0, 0.5, 0}};
  const double negative[3][4] = {{-0.5, 0, 0, 0}, {0, 0.5, 0, 0}, {0, 0, 0.5, 0}};
  Matrix3x4 p = FromDoubles(positive), n = FromDoubles(negative);
  EXPECT_EQ(Matrix3x3::Determinant(p), 0x2000);
  EXPECT_EQ(Matrix3x3::Determinant(n), -0x2000);
  ASSERT_TRUE(Matrix3x3::Invert(p));
  ASSERT_TRUE(Matrix3x3::Invert(n));
  EXPECT_EQ(p.m[0][0], 2 * kFixedOne);
  EXPECT_EQ(n.m[0][0], -2 * kFixedOne);
  EXPECT_EQ(n.m[1][1], 2 * kFixedOne);
}

TEST(Matrix3x4Test, BradfordAdaptation) {
  const Fixed d50[3] = {63190, 65536, 54061};
  const Fixed d65[3] = {62289, 65536, 71372};
  Matrix3x4 same;
  ASSERT_TRUE(Matrix3x3::Adaptation(same, d50, d50));
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(same.m[r][c], r == c ? kFixedOne : 0, 4) << r << c;
  }
  // D65 to D50 against the same computation in double precision.
  const double bradford[3][3] = {
      {0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}};
  double cs[3], cd[3];
  for (int r = 0; r < 3; ++r) {
    cs[r] = cd[r] = 0;
    for (int k = 0; k < 3; ++k) {
      cs[r] += bradford[r][k] * d65[k] / 65536.0;
      cd[r] += bradford[r][k] * d50[k] / 65536.0;
    }
  }
  // inverse(B) by cofactors, then inverse(B) diag(cd / cs) B.
  const auto& b = bradford;
  double det = b[0][0] * (b[1][1] * b[2][2] - b[1][2] * b[2][1]) - b[0][1] * (b[1][0] * b[2][2] - b[1][2] * b[2][0]) +
               b[0][2] * (b[1][0] * b[2][1] - b[1][1] * b[2][0]);
  double inv[3][3];
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
      inv[r][c] = (b[r1][c1] * b[r2][c2] - b[r1][c2] * b[r2][c1]) / det;
    }
  }
  Matrix3x4 m;
  ASSERT_TRUE(Matrix3x3::Adaptation(m, d65, d50));
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      double want = 0;
      for (int k = 0; k < 3; ++k) want += inv[r][k] * cd[k] / cs[k] * b[k][c];
      EXPECT_NEAR(m.m[r][c] / 65536.0, want, 3e-4) << r << c;
    }
  }
  const Fixed black[3] = {0, 0, 0};
  EXPECT_FALSE(Matrix3x3::Adaptation(m, black, d50));
}

TEST(Matrix3x4Test, ScaleColumnsScalesRowsToTheWhite) {
  const double rows[3][4] = {{0.4, 0.35, 0.2, 0}, {0.2, 0.7, 0.1, 0}, {0.02, 0.1, 0.7, 0}};
  const Fixed white[3] = {63190, 65536, 54061};
  Matrix3x4 m = FromDoubles(rows);
  ASSERT_TRUE(Matrix3x3::ScaleColumns(m, white, 0x4000));
  for (int r = 0; r < 3; ++r) EXPECT_NEAR(m.m[r][0] + m.m[r][1] + m.m[r][2], white[r], 3);
  // Outside the tolerance, or a row sum below 0.1, the matrix is refused.
  m = FromDoubles(rows);
  EXPECT_FALSE(Matrix3x3::ScaleColumns(m, white, 65));
  const double weak[3][4] = {{0.05, 0.02, 0.02, 0}, {0.2, 0.7, 0.1, 0}, {0.02, 0.1, 0.7, 0}};
  m = FromDoubles(weak);
  EXPECT_FALSE(Matrix3x3::ScaleColumns(m, white, 0x10000));
}

}  // namespace
}  // namespace color
