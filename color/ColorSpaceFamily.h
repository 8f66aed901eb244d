#pragma once
// The colour-space family names: how each is classified before a space is
// built, and, for the families that resolve without a base space, which
// factory builds them, whether they need the Separation/DeviceN permission
// and which Default space of the resources may stand in for them. One table
// serves both questions.
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
  enum class Factory : uint8_t {
    kNone,  // Pattern and Indexed: built by the parser itself
    kDeviceGray,
    kDeviceRgb,
    kDeviceCmyk,
    kCalGray,
    kCalRgb,
    kLab,
    kIccBased,
    kTint,  // Separation and DeviceN
  };
  struct Row {
    std::string_view name;
    int32_t familyClass;
    // An inline-image abbreviation: it counts only where they are allowed.
    bool abbreviation;
    Factory factory;
    // Separation and DeviceN resolve only where tint spaces are allowed.
    bool needsTintPermission;
    // The component count a Default space must have to replace this
    // family (0: no Default applies), and its key in "ColorSpace".
    int32_t defaultCount;
    std::string_view defaultKey;
  };

  // The class of a family name; the inline-image abbreviations (G, RGB,
  // CMYK, I) count only when allowed.
  static int32_t FromName(std::string_view name, bool allowAbbreviations);
  // The row of a family name under the same rule; null when none matches.
  static const Row* Find(std::string_view name, bool allowAbbreviations);
};

}  // namespace color
