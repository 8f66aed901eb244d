#pragma once
// Rectangles and matrices read out of PDF arrays ("Rect", "BBox",
// "MediaBox", "Matrix"). Elements may be indirect and may be integers or
// reals.
#include "runtime/Matrix.h"
#include "runtime/ObjectHandle.h"
#include "runtime/Rect.h"

namespace pdf {

// The first four elements as a normalised rectangle (x0 <= x1, y0 <= y1);
// (runtime, 2) for fewer than four elements or one that is no number.
runtime::Rect ReadRectArray(const runtime::ObjectHandle& array);
// The first six elements as a, b, c, d, e, f; (runtime, 2) for fewer than
// six elements or one that is no number.
runtime::Matrix ReadMatrixArray(const runtime::ObjectHandle& array);

}  // namespace pdf
