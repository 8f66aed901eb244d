#pragma once
// Scale decisions for drawing images: the image-to-user matrix built without
// losing precision for images of any size, the reduction factor a matrix
// allows, and whether an object would be too small to see.
#include <cstdint>

#include "runtime/Matrix.h"

namespace raster {

using runtime::Fixed;
using runtime::Matrix;

namespace ImageMatrix {
// m becomes [1/width, 0, 0, -1/height, 0, 1] x m: the image's pixels onto
// the unit square it is drawn in. Large sizes are handled by halving m's
// scale and doubling the translation until 1/width stays representable, so
// widths of any size give a positive scale.
void Concat(Matrix& m, int32_t width, int32_t height);
// The matrix Concat puts before m, [1/W, 0, 0, -1/H, 0, s], after `halvings`
// halvings of W = width and H = height (in 16.16) with s doubled each time.
Matrix PixelsToUnit(int32_t width, int32_t height, int32_t& halvings);
}  // namespace ImageMatrix

// 1 to 32: by how much an image drawn with m may be reduced before it is
// resampled (1 above a largest scale of 0.5, 32 below 1/32).
int32_t ReductionFactorForMatrix(const Matrix& m);
// The reduction as a shift: the largest k with 2^k at most the factor.
int32_t ReductionShiftForMatrix(const Matrix& m);
// True when `size` drawn with m is below 0.075 of a pixel.
bool IsBelowVisibleSize(Fixed size, const Matrix& m);

}  // namespace raster
