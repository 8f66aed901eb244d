#pragma once
// The design vector of one multiple-master glyph: the point (u, v) of the
// unit design square where the blended stem equals the asked stem and the
// blended advance the asked width, and the four blend weights there.
#include <cstdint>

#include "runtime/Fixed.h"

namespace fonts {

struct DesignSolution {
  // 0 an exact point inside the design square; 1 the nearest point, its
  // blended width at least the target; 2 the nearest point, below it.
  int status = 0;
  double u = 0;
  double v = 0;
  runtime::Fixed weights[4] = {};
  // The blended advance at the chosen point, in the masters' units.
  double blendedWidth = 0;
};

// Weights for (u, v): w1 = u(1 - v), w2 = (1 - u)v, w3 = uv and
// w0 = 1 - w1 - w2 - w3, in 16.16.
void MasterWeights(double u, double v, runtime::Fixed (&weights)[4]);

// Solves for the stem `stem` and the width `width`, given the four
// masters' stems and widths (same units). Both blends are bilinear:
// eliminating u leaves a quadratic in v, solved in closed form. Without an
// exact root inside the square, the curve of the asked stem is cut with
// the square's edges and the cut with the nearest width wins; without a
// cut, the corner nearest in stem and width (stem counted five times).
DesignSolution SolveDesignVector(double stem, const double (&masterStems)[4], double width,
                                 const double (&masterWidths)[4]);

}  // namespace fonts
