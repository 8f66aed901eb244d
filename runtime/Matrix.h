#pragma once
// 16.16 affine transforms. A point (x, y) maps to
//   x' = a·x + c·y + e,  y' = b·x + d·y + f   (row-vector convention).
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/Rect.h"

namespace runtime {

struct Matrix {
  Fixed a = kFixedOne, b = 0, c = 0, d = kFixedOne, e = 0, f = 0;

  friend bool operator==(const Matrix&, const Matrix&) = default;
  static bool Equals(const Matrix& m, const Matrix& n) { return m == n; }
  static bool SameAs(const Matrix& m, const Matrix& n) { return m == n; }
  static void Swap(Matrix& m, Matrix& n);

  // m followed by n. Products by FixedMul, sums wrap: callers that must not
  // overflow test first with CanTransformRect.
  static Matrix Concat(const Matrix& m, const Matrix& n);
  // m x n with checked products and sums; raises `overflow` (which the
  // caller clears first) when any step overflows.
  static Matrix ConcatChecked(const Matrix& m, const Matrix& n, int32_t& overflow);
  static void TransformPointInPlace(const Matrix& m, Fixed& x, Fixed& y);
  // The bounding box of the four mapped corners of r (wrapping sums).
  static Rect TransformRectBounds(const Rect& r, const Matrix& m);
  // Pixel rectangle through m, rounded out to whole pixels.
  static IntRect TransformIntRect(const IntRect& ir, const Matrix& m);
  // True when mapping the corners of r cannot overflow.
  static bool CanTransformRect(const Matrix& m, const Rect& r);

  // Writes the inverse to out and returns true, or returns false and writes
  // nothing when m is (numerically) singular or the inverse does not fit.
  static bool Invert(Matrix& out, const Matrix& m);
  static bool IsSafelyInvertible(Fixed a, Fixed b, Fixed c, Fixed d);
  // The larger and smaller scale factor (singular values) of the 2×2 part.
  static void ScaleExtremes(const Matrix& m, Fixed& big, Fixed& small);
  // One scale for the matrix: the smaller factor when both are below 1.0,
  // else their mean.
  static Fixed NominalScale(const Matrix& m);
  // m followed by a quarter turn of 0, 90, 180 or 270 degrees (any other
  // value counts as 270).
  static Matrix RotateByViewRotation(int32_t rotation, const Matrix& m);
};

inline constexpr Matrix kIdentityMatrix{};

// A matrix or none.
struct OptionalMatrix {
  const Matrix* matrix = nullptr;

  // Equal when both are none, or both are present and equal.
  static bool Equals(OptionalMatrix p, OptionalMatrix q);
};

// Cache key: an optional matrix, a matrix and a rectangle, compared whole.
struct MatrixRectKey {
  OptionalMatrix optional;
  Matrix matrix;
  Rect rect;

  static bool Equals(const MatrixRectKey& p, const MatrixRectKey& q);
};

// Cache key: an optional matrix and four values of which only the signs
// matter.
struct MatrixSignKey {
  OptionalMatrix optional;
  Fixed values[4] = {};

  static bool Equals(const MatrixSignKey& p, const MatrixSignKey& q);
};

}  // namespace runtime
