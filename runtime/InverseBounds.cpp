#include "runtime/InverseBounds.h"

namespace runtime {

void InverseBounds::UpdateInverse() {
  product = Matrix::Concat(first, second);
  inverseValid = Matrix::Invert(inverse, product);
}

void InverseBounds::Recompute() {
  if (inverseValid && Matrix::CanTransformRect(inverse, rect)) {
    bounds = Matrix::TransformRectBounds(rect, inverse);
  } else {
    bounds = kUnboundedRectSymmetric;
  }
}

}  // namespace runtime
