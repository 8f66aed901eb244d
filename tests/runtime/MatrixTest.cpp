#include "runtime/Matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "runtime/InverseBounds.h"
#include "tests/support/FixedValues.h"
#include "tests/support/GeometryPrinters.h"

namespace runtime {
namespace {

using testsupport::F;
constexpr Matrix M(double a, double b, double c, double d, double e = 0, double f = 0) {
  return {F(a), F(b), F(c), F(d), F(e), F(f)};
}

TEST(MatrixTest, ConcatAndPoints) {
  // Scale 2 then translate (10, 20).
  const Matrix product = Matrix::Concat(M(2, 0, 0, 2, 1, 1), M(1, 0, 0, 1, 10, 20));
  EXPECT_EQ(product, M(2, 0, 0, 2, 11, 21));
  // A quarter turn then a scale by (2, 3).
  EXPECT_EQ(Matrix::Concat(M(0, 1, -1, 0, 1, 2), M(2, 0, 0, 3)), M(0, 3, -2, 0, 2, 6));
  // Products round toward minus infinity, sums wrap.
  EXPECT_EQ(Matrix::Concat({-1, 0, 0, 0, 0, 0}, {1, 0, 0, 0, 0, 0}).a, -1);
  EXPECT_EQ(Matrix::Concat(M(1, 0, 0, 1, 0, 0), {kFixedOne, 0, 0, kFixedOne, kFixedMax, 0})
                .e,
            kFixedMax);

  Fixed x = F(1), y = F(2);
  Matrix::TransformPointInPlace(M(2, 1, -1, 3, 5, 6), x, y);
  EXPECT_EQ(x, F(2 * 1 - 1 * 2 + 5));
  EXPECT_EQ(y, F(1 * 1 + 3 * 2 + 6));

  Matrix m = M(1, 2, 3, 4), n = M(5, 6, 7, 8);
  Matrix::Swap(m, n);
  EXPECT_TRUE(Matrix::Equals(m, M(5, 6, 7, 8)));
  EXPECT_TRUE(Matrix::SameAs(n, M(1, 2, 3, 4)));
  EXPECT_FALSE(Matrix::Equals(m, n));
}

TEST(MatrixTest, RectangleMapping) {
  EXPECT_EQ(Matrix::TransformRectBounds({0, 0, F(2), F(1)}, M(0, 1, -1, 0)),
            (Rect{F(-1), 0, 0, F(2)}));
  EXPECT_EQ(Matrix::TransformRectBounds({F(1), F(1), F(2), F(3)}, M(2, 0, 0, -1, 1, 0)),
            (Rect{F(3), F(-3), F(5), F(-1)}));
  EXPECT_EQ(Matrix::TransformIntRect({0, 0, 3, 3}, M(0.5, 0, 0, 0.5)), (IntRect{0, 0, 2, 2}));
  EXPECT_EQ(Matrix::TransformIntRect({1, 1, 2, 2}, M(1, 0, 0, 1, -0.5, 0.25)),
            (IntRect{0, 1, 2, 3}));

  struct Case {
    const char* name;
    Matrix m;
    Rect r;
    bool can;
  } cases[] = {
      {"small", M(1, 0, 0, 1), {0, 0, F(100), F(100)}, true},
      {"product overflows", M(2, 0, 0, 2), {0, 0, 0x40000000, 0}, false},
      {"sum overflows", M(1, 0, 1, 1), {0, 0, 0x40000000, 0x40000000}, false},
      {"translation pushes over", {0x10000, 0, 0x10000, 0x10000, 0x10000, 0},
       {0, 0, 0x40000000, 0x3fff0000}, false},
      {"translation just fits", {0x10000, 0, 0x10000, 0x10000, 0xffff, 0},
       {0, 0, 0x40000000, 0x3fff0000}, true},
      {"lowest corner", M(1, 0, 0, 1), kUnboundedRect, false},
      {"negative entries", M(-1, 0, 0, -1, -5, 0), {F(-10), F(-10), 0, 0}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(Matrix::CanTransformRect(c.m, c.r), c.can) << c.name;
}

TEST(MatrixTest, InversionTable) {
  struct Case {
    const char* name;
    Matrix m;
    bool ok;
    Matrix inverse;
  } cases[] = {
      {"identity", M(1, 0, 0, 1), true, M(1, 0, 0, 1)},
      {"scale and move", M(2, 0, 0, 2, 4, 6), true, M(0.5, 0, 0, 0.5, -2, -3)},
      {"quarter turn", M(0, 1, -1, 0, 5, 7), true, M(0, -1, 1, 0, -7, 5)},
      // Scaled by 1/8 to 125.0: the inverse keeps the precision of 1/125.
      {"large scale is pre-scaled", M(1000, 0, 0, 1000, 1000, 0), true,
       {0x41, 0, 0, 0x41, -65500, 0}},
      {"small scale is pre-scaled", M(0.25, 0, 0, 0.25, 1, 0), true, M(4, 0, 0, 4, -4, 0)},
      {"all entries 3/65536", {3, 3, 3, 3, 0, 0}, false, {}},
      {"all entries zero", {0, 0, 0, 0, F(1), F(1)}, false, {}},
      {"singular", M(1, 2, 2, 4), false, {}},
      {"translation does not fit", M(0.5, 0, 0, 0.5, 20000, 0), false, {}},
      {"determinant difference does not fit", {kFixedMax, -0xffff, kFixedMax, 0xffff, 0, 0},
       false, {}},
  };
  for (const Case& c : cases) {
    Matrix out{1, 2, 3, 4, 5, 6};
    EXPECT_EQ(Matrix::Invert(out, c.m), c.ok) << c.name;
    const Matrix untouched{1, 2, 3, 4, 5, 6};
    EXPECT_EQ(out, c.ok ? c.inverse : untouched) << c.name;
  }
  EXPECT_TRUE(Matrix::IsSafelyInvertible(F(1), 0, 0, F(1)));
  EXPECT_TRUE(Matrix::IsSafelyInvertible(F(0.01), 0, 0, F(0.01)));
  // det = 100/65536, but the entries are above det × 32768.
  EXPECT_FALSE(Matrix::IsSafelyInvertible(F(100), F(100), F(100), F(100) + 1));
  EXPECT_TRUE(Matrix::IsSafelyInvertible(F(100), 0, 0, F(0.0001)));
  EXPECT_TRUE(Matrix::IsSafelyInvertible(0x1000000, 0, 0, 0x1000000));  // overflowed det
}

TEST(MatrixTest, InverseUndoesWellConditionedMatrices) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> entry(-50.0, 50.0);
  for (int i = 0; i < 2000; ++i) {
    const Matrix m = M(entry(random), entry(random), entry(random), entry(random),
                       entry(random), entry(random));
    Fixed big = 0, small = 0;
    Matrix::ScaleExtremes(m, big, small);
    if (small < F(0.5)) continue;  // ill-conditioned: the round trip is loose
    Matrix inverse;
    ASSERT_TRUE(Matrix::Invert(inverse, m));
    const Matrix round = Matrix::Concat(m, inverse);
    EXPECT_NEAR(round.a, kFixedOne, 200);
    EXPECT_NEAR(round.b, 0, 200);
    EXPECT_NEAR(round.c, 0, 200);
    EXPECT_NEAR(round.d, kFixedOne, 200);
    EXPECT_NEAR(round.e, 0, 8000);
    EXPECT_NEAR(round.f, 0, 8000);
  }
}

TEST(MatrixTest, AnInverseThatSucceedsIsTheInverse) {
  // Entries of every magnitude: whenever Invert reports success, its
  // entries are those of the true inverse (wrapped entries after the final
  // rescale came back as success for about 1 in 400 such matrices).
  std::mt19937 random(41);
  auto any = [&] {
    const Fixed v = static_cast<Fixed>(random() & 0x7fffffff) >> (random() % 31);
    return (random() & 1) != 0 ? v : -v;
  };
  int inverted = 0;
  for (int i = 0; i < 40000; ++i) {
    const Matrix m{any(), any(), any(), any(), any(), any()};
    Matrix inverse;
    if (!Matrix::Invert(inverse, m)) continue;
    ++inverted;
    const double a = m.a / 65536.0, b = m.b / 65536.0, c = m.c / 65536.0, d = m.d / 65536.0;
    const double e = m.e / 65536.0, f = m.f / 65536.0;
    const double det = a * d - b * c;
    const double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    const double exact[6] = {ia, ib, ic, id, -(e * ia + f * ic), -(e * ib + f * id)};
    const Fixed got[6] = {inverse.a, inverse.b, inverse.c, inverse.d, inverse.e, inverse.f};
    const double linear = std::max({std::abs(ia), std::abs(ib), std::abs(ic), std::abs(id)});
    for (int k = 0; k < 6; ++k) {
      // Nearly singular matrices lose much of their precision to the
      // 16.16 determinant (tens of per cent where it holds two or three
      // significant bits); a wrapped entry is off by 65536.0, at least
      // twice the largest entry that fits.
      // The translation also carries the linear part's last-place error
      // times the translation itself.
      const double slack = k < 4 ? 0.0 : (std::abs(e) + std::abs(f)) * 4.0 / 65536.0;
      const double scale = k < 4 ? linear : std::max(linear, std::abs(exact[k]));
      ASSERT_NEAR(got[k] / 65536.0, exact[k], scale * 0.5 + slack + 0.01)
          << i << " entry " << k << " of {" << m.a << ", " << m.b << ", " << m.c << ", " << m.d
          << ", " << m.e << ", " << m.f << "}";
    }
  }
  EXPECT_GT(inverted, 1000);
}

TEST(MatrixTest, ScaleMeasures) {
  struct Case {
    const char* name;
    Matrix m;
    Fixed big, small, nominal;
  } cases[] = {
      {"rotation and scale", M(0, 2, -3, 0), F(3), F(2), F(2.5)},
      {"axis aligned", M(2, 0, 0, 0.5), F(2), F(0.5), F(1.25)},
      {"both below one", M(0.5, 0, 0, 0.25), F(0.5), F(0.25), F(0.25)},
      {"mirrored", M(-4, 0, 0, 1), F(4), F(1), F(2.5)},
      {"scaled down first", M(0, 20, -30, 0), F(30), F(20), F(25)},
      {"tiny entry", {0, 1, 0, 0, 0, 0}, 1, 0, 0},
      {"limits", {kFixedLowest, 0, 0, kFixedMax, 0, 0}, kFixedMax, kFixedMax, kFixedMax},
      // The larger singular value, about 46341.0, saturates; the smaller one
      // (0.7071) is below the precision left after scaling down by 4096.
      {"beyond the range", {kFixedMax, kFixedMax, 0, F(1), 0, 0}, kFixedMax, 0, 0x3fffffff},
  };
  for (const Case& c : cases) {
    Fixed big = -1, small = -1;
    Matrix::ScaleExtremes(c.m, big, small);
    EXPECT_EQ(big, c.big) << c.name;
    EXPECT_EQ(small, c.small) << c.name;
    EXPECT_EQ(Matrix::NominalScale(c.m), c.nominal) << c.name;
  }
  // A shear whose (E - G)² + 4F² exceeds the 16.16 range still gives the
  // singular values (their product is |det| = 3.5).
  Fixed big = 0, small = 0;
  Matrix::ScaleExtremes(M(7, 7, 7, 7.5), big, small);
  EXPECT_NEAR(big, F(14.2544), 64);
  EXPECT_NEAR(small, F(0.24554), 2048);
  // A rotated uniform scale keeps its scale.
  Matrix::ScaleExtremes(M(0.6 * 5, 0.8 * 5, -0.8 * 5, 0.6 * 5), big, small);
  EXPECT_NEAR(big, F(5), 8);
  EXPECT_NEAR(small, F(5), 8);
}

TEST(MatrixTest, AnyMatrixIsSafe) {
  // Matrices come from documents: every operation must stay defined (the
  // sanitizer build checks) and give sane answers for any entries.
  std::mt19937 random(17);
  auto any = [&] { return static_cast<Fixed>(random()) >> (random() % 32); };
  for (int i = 0; i < 20000; ++i) {
    const Matrix m{any(), any(), any(), any(), any(), any()};
    Fixed big = -1, small = -1;
    Matrix::ScaleExtremes(m, big, small);
    EXPECT_GE(small, 0);
    EXPECT_GE(big, small);
    EXPECT_GE(Matrix::NominalScale(m), 0);
    Matrix inverse;
    Matrix::Invert(inverse, m);
    const Rect r{any(), any(), any(), any()};
    if (Matrix::CanTransformRect(m, r)) {
      const Rect mapped = Matrix::TransformRectBounds(r, m);
      EXPECT_LE(mapped.x0, mapped.x1);
      EXPECT_LE(mapped.y0, mapped.y1);
    }
    Matrix::Concat(m, inverse);
    Matrix::RotateByViewRotation(90, m);
  }
}

TEST(MatrixTest, ViewRotation) {
  struct Case {
    int32_t rotation;
    Matrix identity, general;
  } cases[] = {
      {0, M(1, 0, 0, 1), M(1, 2, 3, 4, 5, 6)},
      {90, M(0, 1, -1, 0), M(-2, 1, -4, 3, -6, 5)},
      {180, M(-1, 0, 0, -1), M(-1, -2, -3, -4, -5, -6)},
      {270, M(0, -1, 1, 0), M(2, -1, 4, -3, 6, -5)},
      {30, M(0, -1, 1, 0), M(2, -1, 4, -3, 6, -5)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Matrix::RotateByViewRotation(c.rotation, kIdentityMatrix), c.identity)
        << c.rotation;
    EXPECT_EQ(Matrix::RotateByViewRotation(c.rotation, M(1, 2, 3, 4, 5, 6)), c.general)
        << c.rotation;
  }
}

TEST(MatrixTest, KeysCompareWhole) {
  const Matrix one = M(1, 0, 0, 1), other = M(2, 0, 0, 2), same = M(1, 0, 0, 1);
  EXPECT_TRUE(OptionalMatrix::Equals({}, {}));
  EXPECT_FALSE(OptionalMatrix::Equals({&one}, {}));
  EXPECT_FALSE(OptionalMatrix::Equals({}, {&one}));
  EXPECT_TRUE(OptionalMatrix::Equals({&one}, {&same}));
  EXPECT_FALSE(OptionalMatrix::Equals({&one}, {&other}));

  const MatrixRectKey key{{&one}, other, {0, 0, 1, 1}};
  EXPECT_TRUE(MatrixRectKey::Equals(key, {{&same}, other, {0, 0, 1, 1}}));
  EXPECT_FALSE(MatrixRectKey::Equals(key, {{}, other, {0, 0, 1, 1}}));
  EXPECT_FALSE(MatrixRectKey::Equals(key, {{&one}, one, {0, 0, 1, 1}}));
  EXPECT_FALSE(MatrixRectKey::Equals(key, {{&one}, other, {0, 0, 1, 2}}));

  const MatrixSignKey signs{{&one}, {1, -5, 0, kFixedMax}};
  EXPECT_TRUE(MatrixSignKey::Equals(signs, {{&same}, {100, kFixedLowest, 0, 1}}));
  EXPECT_FALSE(MatrixSignKey::Equals(signs, {{&same}, {1, -5, 1, 1}}));
  EXPECT_FALSE(MatrixSignKey::Equals(signs, {{}, {1, -5, 0, 1}}));
}

TEST(InverseBoundsTest, BoundsUnderTheInverse) {
  InverseBounds bounds;
  bounds.first = M(2, 0, 0, 2);
  bounds.second = M(1, 0, 0, 1, 10, 0);
  bounds.rect = {F(10), 0, F(30), F(20)};
  bounds.UpdateInverse();
  EXPECT_EQ(bounds.product, M(2, 0, 0, 2, 10, 0));
  EXPECT_TRUE(bounds.inverseValid);
  EXPECT_EQ(bounds.inverse, M(0.5, 0, 0, 0.5, -5, 0));
  bounds.Recompute();
  EXPECT_EQ(bounds.bounds, (Rect{0, 0, F(10), F(10)}));

  // A rectangle the inverse cannot map without overflow: unbounded.
  bounds.rect = kUnboundedRect;
  bounds.Recompute();
  EXPECT_EQ(bounds.bounds, kUnboundedRectSymmetric);

  // No inverse: unbounded, in the symmetric form.
  bounds.first = M(1, 2, 2, 4);
  bounds.rect = {0, 0, F(1), F(1)};
  bounds.UpdateInverse();
  EXPECT_FALSE(bounds.inverseValid);
  bounds.Recompute();
  EXPECT_EQ(bounds.bounds, kUnboundedRectSymmetric);
}

}  // namespace
}  // namespace runtime
