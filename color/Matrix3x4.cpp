#include "color/Matrix3x4.h"

#include <cstdint>

namespace color {

namespace {

using runtime::FixedAddWithOverflow;
using runtime::FixedDiv;
using runtime::FixedMul;
using runtime::FixedMulChecked;
using runtime::kFixedMax;
using runtime::kFixedOne;

// Bradford cone-response matrix.
constexpr Fixed kBradford[3][3] = {
    {58661, 17458, -10577}, {-49165, 112295, 2405}, {2549, -4489, 67475}};

Fixed Saturate(int64_t v) {
  if (v > kFixedMax) return kFixedMax;
  if (v < -kFixedMax) return -kFixedMax;
  return static_cast<Fixed>(v);
}

// a*d - b*c of 16.16 values, kept in 64 bits (16.16 scale).
int64_t Minor(Fixed a, Fixed b, Fixed c, Fixed d) {
  return ((static_cast<int64_t>(a) * d) >> 16) - ((static_cast<int64_t>(b) * c) >> 16);
}

// The nine cofactors, cof[r][c] of element (r, c), in 64 bits.
void Cofactors(const Matrix3x4& x, int64_t cof[3][3]) {
  const auto& m = x.m;
  cof[0][0] = Minor(m[1][1], m[1][2], m[2][1], m[2][2]);
  cof[0][1] = -Minor(m[1][0], m[1][2], m[2][0], m[2][2]);
  cof[0][2] = Minor(m[1][0], m[1][1], m[2][0], m[2][1]);
  cof[1][0] = -Minor(m[0][1], m[0][2], m[2][1], m[2][2]);
  cof[1][1] = Minor(m[0][0], m[0][2], m[2][0], m[2][2]);
  cof[1][2] = -Minor(m[0][0], m[0][1], m[2][0], m[2][1]);
  cof[2][0] = Minor(m[0][1], m[0][2], m[1][1], m[1][2]);
  cof[2][1] = -Minor(m[0][0], m[0][2], m[1][0], m[1][2]);
  cof[2][2] = Minor(m[0][0], m[0][1], m[1][0], m[1][1]);
}

int64_t DeterminantWide(const Matrix3x4& x, const int64_t cof[3][3]) {
  int64_t d = 0;
  for (int c = 0; c < 3; ++c) d += (static_cast<int64_t>(x.m[0][c]) * cof[0][c]) >> 16;
  return d;
}

int64_t Abs64(int64_t v) { return v < 0 ? -v : v; }

}  // namespace

Matrix3x4 Matrix3x4::Identity() {
  Matrix3x4 r;
  for (int i = 0; i < 3; ++i) r.m[i][i] = kFixedOne;
  return r;
}

bool Matrix3x4::IsIdentity() const {
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) {
      if (m[r][c] != (r == c ? kFixedOne : 0)) return false;
    }
  }
  return true;
}

bool Matrix3x4::Multiply(const Matrix3x4& b) {
  Matrix3x4 out;
  int32_t overflow = 0;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) {
      // Column 3 composes the offsets: A b_offset + a_offset.
      Fixed sum = c == 3 ? m[r][3] : 0;
      for (int k = 0; k < 3; ++k) {
        Fixed product = FixedMulChecked(m[r][k], b.m[k][c], overflow);
        FixedAddWithOverflow(sum, sum, product, overflow);
      }
      out.m[r][c] = sum;
    }
  }
  if (overflow != 0) return false;
  *this = out;
  return true;
}

Fixed Matrix3x3::Determinant(const Matrix3x4& matrix) {
  int64_t cof[3][3];
  Cofactors(matrix, cof);
  return Saturate(DeterminantWide(matrix, cof));
}

bool Matrix3x3::Invert(Matrix3x4& matrix) {
  int64_t cof[3][3];
  Cofactors(matrix, cof);
  int64_t d = DeterminantWide(matrix, cof);
  if (d == 0 || Abs64(d) > kFixedMax) return false;
  Fixed det = static_cast<Fixed>(d);
  // A small determinant blows the quotients up: refuse when one would not
  // fit.
  int64_t magnitude = Abs64(d);
  for (const auto& row : cof) {
    for (int64_t c : row) {
      if (Abs64(c) > kFixedMax) return false;
      if (magnitude < kFixedOne && Abs64(c) >= FixedMul(static_cast<Fixed>(magnitude), kFixedMax)) return false;
    }
  }
  Matrix3x4 inverse;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) inverse.m[r][c] = FixedDiv(static_cast<Fixed>(cof[c][r]), det);
  }
  for (int r = 0; r < 3; ++r) {
    int64_t s = 0;
    for (int k = 0; k < 3; ++k) s += (static_cast<int64_t>(inverse.m[r][k]) * matrix.m[k][3]) >> 16;
    inverse.m[r][3] = Saturate(-s);
  }
  matrix = inverse;
  return true;
}

bool Matrix3x3::Adaptation(Matrix3x4& out, const Fixed sourceWhite[3], const Fixed destinationWhite[3]) {
  Matrix3x4 cone;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) cone.m[r][c] = kBradford[r][c];
  }
  Fixed source[3] = {sourceWhite[0], sourceWhite[1], sourceWhite[2]};
  Fixed destination[3] = {destinationWhite[0], destinationWhite[1], destinationWhite[2]};
  cone.Apply(source);
  cone.Apply(destination);
  for (int i = 0; i < 3; ++i) {
    if (source[i] < 1 || destination[i] < 1) return false;
  }
  Matrix3x4 scale;
  for (int i = 0; i < 3; ++i) scale.m[i][i] = FixedDiv(destination[i], source[i]);
  Matrix3x4 result = cone;
  if (!Invert(result) || !result.Multiply(scale) || !result.Multiply(cone)) return false;
  out = result;
  return true;
}

bool Matrix3x3::ScaleColumns(Matrix3x4& matrix, const Fixed white[3], Fixed tolerance) {
  Fixed factor[3];
  for (int r = 0; r < 3; ++r) {
    int64_t sum = int64_t{matrix.m[r][0]} + matrix.m[r][1] + matrix.m[r][2];
    if (sum < 6554) return false;  // 0.1
    int64_t wanted = int64_t{white[r]} - matrix.m[r][3];
    if (Abs64(wanted) > kFixedMax || sum > kFixedMax) return false;
    factor[r] = FixedDiv(static_cast<Fixed>(wanted), static_cast<Fixed>(sum));
    if (factor[r] < kFixedOne - tolerance || factor[r] > kFixedOne + tolerance) return false;
  }
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) matrix.m[r][c] = FixedMul(matrix.m[r][c], factor[r]);
  }
  return true;
}

}  // namespace color
