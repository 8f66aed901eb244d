#pragma once
// The CIE-based colour spaces of PDF ("CalGray", "CalRGB", "Lab") read from
// their parameter dictionaries into synthesised ICC profiles, so that they
// convert like any profile.
#include <cstdint>

#include "color/IccProfile.h"
#include "runtime/ObjectHandle.h"

namespace color {

struct CieColorSpace {
  // Family codes.
  enum Family : int32_t { kCalGray = 3, kCalRgb = 4, kLab = 6 };

  // The profile for the parameter dictionary of a family. "WhitePoint" is
  // required; "BlackPoint", "Gamma", "Matrix" and "Range" take their
  // defaults when absent. `sixteenBit` (Lab image samples of 16 bits)
  // halves the a* and b* ranges. Bad parameters throw (runtime, 2).
  static IccProfileRef Parse(const runtime::ObjectHandle& parameters, int32_t family, bool sixteenBit);
};

}  // namespace color
