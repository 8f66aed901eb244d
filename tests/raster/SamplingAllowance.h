#pragma once
// How far two 4 x 4 rasterisations of one path may differ in a pixel row
// without either being wrong: the scan converter counts every sub-pixel an
// edge touches (so that thin features never vanish), an exact area or a
// sampling rasteriser does not. Per sub-row that is at most each edge's
// extent within the sub-row plus a sub-pixel at either end of each crossing,
// and a tenth of a pixel of flattening on either side, counted for every
// chord that reaches into the sub-row. A streak (a sub-row
// wrongly inside or outside across a span) is far beyond this.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "runtime/Rect.h"

namespace testsupport {

// `segments` are the path's chords {x0, y0, x1, y1} in device pixels; the
// result has one entry per pixel row of `target`.
inline std::vector<double> SamplingAllowance(const std::vector<std::array<double, 4>>& segments,
                                             const runtime::IntRect& target, int samples = 4) {
  const double sub = 1.0 / samples;
  std::vector<double> allowance(static_cast<size_t>(target.y1 - target.y0), 0.0);
  for (const auto& s : segments) {
    const double y0 = std::min(s[1], s[3]), y1 = std::max(s[1], s[3]);
    const int first = std::max(static_cast<int>(std::floor(y0 * samples)), target.y0 * samples);
    const int last = std::min(static_cast<int>(std::floor(y1 * samples)), target.y1 * samples - 1);
    for (int r = first; r <= last; ++r) {
      const double top = r * sub, bottom = top + sub;
      const double a = std::max(y0, top), b = std::min(y1, bottom);
      const double extent = y1 > y0 ? std::fabs(s[2] - s[0]) * (b - a) / (y1 - y0) : std::fabs(s[2] - s[0]);
      const double sub_pixels = extent + 2 * sub + 0.2;
      allowance[static_cast<size_t>(r / samples - target.y0)] += sub_pixels * sub;
    }
  }
  return allowance;
}

}  // namespace testsupport
