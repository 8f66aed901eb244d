#include "runtime/FontBase.h"

namespace runtime {

void FontBase::GetExtentLine(FixedPoint* top, FixedPoint* bottom, const Matrix& matrix) const {
  *top = FixedPoint{0, ascent};
  *bottom = FixedPoint{0, descent};
  Matrix::TransformPointInPlace(matrix, top->x, top->y);
  Matrix::TransformPointInPlace(matrix, bottom->x, bottom->y);
}

}  // namespace runtime
