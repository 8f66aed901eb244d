#pragma once
// What the stroker's dasher decides before it dashes: whether the gaps of a
// dash pattern are too small to show at the device's resolution, in which
// case a path is stroked solid.
#include <cstdint>
#include <span>

#include "runtime/Fixed.h"

namespace runtime {

struct Dasher {
  std::span<const Fixed> dashes;
  // Gap sizes at or below these count as invisible (two resolutions).
  Fixed tolerance = 0;
  Fixed secondTolerance = 0;

  // True when every gap is within the tolerance (the second with
  // `useSecond`). An odd-length pattern repeats with its roles swapped, so
  // every element serves as a gap and all are tested; an even one tests
  // elements 1, 3, 5, .... Nothing to test is true.
  bool GapsWithin(bool useSecond) const;
};

}  // namespace runtime
