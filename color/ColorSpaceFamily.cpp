#include "color/ColorSpaceFamily.h"

namespace color {

namespace {

struct FamilyRow {
  std::string_view name;
  int32_t familyClass;
  bool abbreviation;
};

constexpr FamilyRow kFamilies[] = {
    {"DeviceGray", ColorSpaceFamily::kBaseless, false},
    {"DeviceRGB", ColorSpaceFamily::kBaseless, false},
    {"ICCBased", ColorSpaceFamily::kBaseless, false},
    {"CalGray", ColorSpaceFamily::kBaseless, false},
    {"CalRGB", ColorSpaceFamily::kBaseless, false},
    {"Lab", ColorSpaceFamily::kBaseless, false},
    {"DeviceCMYK", ColorSpaceFamily::kBaseless, false},
    {"Pattern", ColorSpaceFamily::kPattern, false},
    {"Indexed", ColorSpaceFamily::kIndexed, false},
    {"Separation", ColorSpaceFamily::kSeparationLike, false},
    {"DeviceN", ColorSpaceFamily::kSeparationLike, false},
    {"CalCMYK", ColorSpaceFamily::kBaseless, false},
    {"G", ColorSpaceFamily::kBaseless, true},
    {"RGB", ColorSpaceFamily::kBaseless, true},
    {"CMYK", ColorSpaceFamily::kBaseless, true},
    {"I", ColorSpaceFamily::kIndexed, true},
};

}  // namespace

int32_t ColorSpaceFamily::FromName(std::string_view name, bool allowAbbreviations) {
  for (const FamilyRow& row : kFamilies) {
    if (row.name == name && (!row.abbreviation || allowAbbreviations)) return row.familyClass;
  }
  return kUnknown;
}

}  // namespace color
