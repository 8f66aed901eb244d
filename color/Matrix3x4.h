#pragma once
// 3x3 matrices with an offset column, in 16.16 fixed point: the matrices of
// ICC matrix/TRC profiles and lookup tables, chromatic adaptation and white
// point scaling. Operations that can fail say so by their result and leave
// the matrix as it was; nothing here throws.
#include "runtime/Fixed.h"

namespace color {

using runtime::Fixed;

struct Matrix3x4 {
  // Row r: coefficients m[r][0..2] and the offset m[r][3].
  Fixed m[3][4] = {};

  static Matrix3x4 Identity();
  bool IsIdentity() const;

  // v := M v + offset, in place, with FixedMul products.
  // Inline: transform chains call it once per pixel.
  void Apply(Fixed v[3]) const {
    const Fixed x = v[0], y = v[1], z = v[2];
    for (int r = 0; r < 3; ++r) {
      // Sums wrap as the 32-bit arithmetic does; callers clamp what they need.
      const uint32_t s = static_cast<uint32_t>(runtime::FixedMul(m[r][0], x)) +
                         static_cast<uint32_t>(runtime::FixedMul(m[r][1], y)) +
                         static_cast<uint32_t>(runtime::FixedMul(m[r][2], z)) + static_cast<uint32_t>(m[r][3]);
      v[r] = static_cast<Fixed>(s);
    }
  }
  // *this := *this x b, as maps: applying the result equals applying b and
  // then *this, so the offsets compose as A b_offset + a_offset. False (and
  // *this unchanged) when a product or sum overflows.
  bool Multiply(const Matrix3x4& b);
};

// The 3x3 operations, on the coefficient part of a Matrix3x4 (inversion
// also carries the offsets).
struct Matrix3x3 {
  // By cofactors of the first row; saturates rather than wrapping.
  static Fixed Determinant(const Matrix3x4& matrix);
  // Inverts the map x -> M x + o. Refused (false, matrix unchanged) when the
  // matrix is singular or its inverse does not fit in 16.16.
  static bool Invert(Matrix3x4& matrix);
  // The Bradford adaptation from one white point (XYZ) to another.
  static bool Adaptation(Matrix3x4& out, const Fixed sourceWhite[3], const Fixed destinationWhite[3]);
  // Makes each row map to the white point: row r is multiplied by
  // k_r = (white[r] - offset_r) / (row sum), which must lie within
  // 1 +- tolerance. The name says columns, but rows are what it scales: the
  // factor belongs to the output component, which a row computes.
  static bool ScaleColumns(Matrix3x4& matrix, const Fixed white[3], Fixed tolerance);
};

}  // namespace color
