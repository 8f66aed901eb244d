#pragma once
// A wide 16.16 value: a 64-bit whole part and a 16-bit fraction, for sums
// of page sizes that outgrow a Fixed.
#include <cstdint>

namespace viewer {

struct WideFixed {
  int64_t whole = 0;
  // 0..65535 once normalised.
  int32_t fraction = 0;

  friend bool operator==(const WideFixed&, const WideFixed&) = default;
  // Whole units of a fraction outside 0..65535 carried into the whole part.
  static WideFixed Normalize(WideFixed v);
  // Nearest whole value; a fraction of exactly one half rounds down.
  static int64_t Round(WideFixed v);
  // The whole part plus one for any positive fraction.
  static int64_t Ceil(WideFixed v);
};

}  // namespace viewer
