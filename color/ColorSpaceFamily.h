#pragma once
// Classifies a colour-space family name before the space itself is built.
#include <cstdint>
#include <string_view>

namespace color {

struct ColorSpaceFamily {
  enum Class : int32_t {
    kBaseless = 1,      // device, CIE-based and ICC-based spaces
    kPattern = 2,
    kIndexed = 4,
    kSeparationLike = 8,  // Separation, DeviceN
    kUnknown = 16,
  };
  // The class of a family name; the inline-image abbreviations (G, RGB,
  // CMYK, I) count only when allowed.
  static int32_t FromName(std::string_view name, bool allowAbbreviations);
};

}  // namespace color
