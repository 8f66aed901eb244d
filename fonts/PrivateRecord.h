#pragma once
// One font dict of a CFF font (the only one of a name-keyed font, one per
// FDArray entry of a CID-keyed font) with its Private values. Type 1
// programs fill the same record from their keywords; the hinting and the
// charstring interpreter read it.
#include <cstdint>

#include "fonts/CffIndex.h"
#include "runtime/Fixed.h"
#include "runtime/Matrix.h"

namespace fonts {

using runtime::Fixed;

template <uint32_t N>
struct FixedArray {
  uint32_t count = 0;
  Fixed values[N] = {};
};

struct PrivateRecord {
  static constexpr uint32_t kHasBlueValues = 1;

  uint32_t flags = 0;
  int64_t privateStart = -1;  // absolute position, -1 absent
  int64_t privateEnd = -1;
  int64_t subrsPosition = -1;
  CffIndex localSubrs;  // count 0: no local subroutines
  Fixed defaultWidthX = 0;
  Fixed nominalWidthX = 0;
  int32_t fontName = -1;  // SID
  int32_t paintType = 0;
  runtime::Matrix matrix{65, 0, 0, 65, 0, 0};
  FixedArray<14> blueValues;
  FixedArray<10> otherBlues;
  FixedArray<14> familyBlues;
  FixedArray<10> familyOtherBlues;
  FixedArray<12> stemSnapH;
  FixedArray<12> stemSnapV;
  Fixed blueScale = 2596;           // 0.0396
  Fixed blueShift = 7 * 65536;
  Fixed blueFuzz = 65536;
  Fixed stdHW = -65536;             // absent
  Fixed stdVW = -65536;
  int32_t forceBold = 0;
  int32_t languageGroup = 0;
  Fixed expansionFactor = 3932;     // 0.06
  Fixed initialRandomSeed = 0;
};

}  // namespace fonts
