#include "runtime/FontBase.h"

#include "runtime/TransientBlocks.h"

namespace runtime {

void FontBase::GetExtentLine(FixedPoint* top, FixedPoint* bottom, const Matrix& matrix) const {
  *top = FixedPoint{0, ascent};
  *bottom = FixedPoint{0, descent};
  Matrix::TransformPointInPlace(matrix, top->x, top->y);
  Matrix::TransformPointInPlace(matrix, bottom->x, bottom->y);
}

void FontHold::Drop(LibraryContext* context, FontBase* font) {
  if (font != nullptr && --font->refCount == 0) DestroyAndFree(context, font);
}

}  // namespace runtime
