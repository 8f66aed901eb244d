#pragma once
// A rectangle's bounds under the inverse of a product of two matrices,
// kept up to date by its owner.
#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace runtime {

struct InverseBounds {
  Matrix first;
  Matrix second;
  Matrix product;
  Matrix inverse;
  bool inverseValid = false;
  Rect rect;
  Rect bounds = kUnboundedRectSymmetric;

  // product := first followed by second; inverse := its inverse when it has
  // one.
  void UpdateInverse();
  // bounds := rect mapped through the inverse, or unbounded when there is
  // no inverse or the mapping could overflow.
  void Recompute();
};

}  // namespace runtime
