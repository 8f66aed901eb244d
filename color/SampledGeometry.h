#pragma once
// Device-to-shading mapping for the sampling rasterisers: the inverse of a
// shading-to-device matrix, applied to pixel centres. Set up once per
// shading in double precision; per run the rasterisers step the result.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/Matrix.h"

namespace color {

struct InverseMapping {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

  // False when `m` is not safely invertible (the shading paints nothing).
  bool SetFrom(const runtime::Matrix& m);
  // The same for a matrix held in doubles: the test and the inverse are
  // relative to the matrix's own scale, so that a matrix that shrinks
  // shading space a hundred thousand times (fine units such as EMUs) still
  // inverts, while one that flattens it to a line does not.
  bool SetFrom(double ma, double mb, double mc, double md, double me, double mf);
  // `first` followed by `second`, computed in doubles.
  bool SetFromProduct(const runtime::Matrix& first, const runtime::Matrix& second);
  // The shading-space point of the centre of pixel (x, y).
  void MapCentre(int32_t x, int32_t y, double& u, double& v) const {
    const double px = x + 0.5, py = y + 0.5;
    u = a * px + c * py + e;
    v = b * px + d * py + f;
  }
};

// A double as a 16.16 value rounded to nearest, saturated to the limits.
runtime::Fixed RoundToFixed(double value);

}  // namespace color
