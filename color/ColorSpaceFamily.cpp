#include "color/ColorSpaceFamily.h"

namespace color {

namespace {

using Factory = ColorSpaceFamily::Factory;

constexpr int32_t kBaseless = ColorSpaceFamily::kBaseless;

constexpr ColorSpaceFamily::Row kFamilies[] = {
    {"DeviceGray", kBaseless, false, Factory::kDeviceGray, false, 1, "DefaultGray"},
    {"DeviceRGB", kBaseless, false, Factory::kDeviceRgb, false, 3, "DefaultRGB"},
    {"ICCBased", kBaseless, false, Factory::kIccBased, false, 0, {}},
    {"CalGray", kBaseless, false, Factory::kCalGray, false, 0, {}},
    {"CalRGB", kBaseless, false, Factory::kCalRgb, false, 0, {}},
    {"Lab", kBaseless, false, Factory::kLab, false, 0, {}},
    {"DeviceCMYK", kBaseless, false, Factory::kDeviceCmyk, false, 4, "DefaultCMYK"},
    {"Pattern", ColorSpaceFamily::kPattern, false, Factory::kNone, false, 0, {}},
    {"Indexed", ColorSpaceFamily::kIndexed, false, Factory::kNone, false, 0, {}},
    {"Separation", ColorSpaceFamily::kSeparationLike, false, Factory::kTint, true, 1, {}},
    {"DeviceN", ColorSpaceFamily::kSeparationLike, false, Factory::kTint, true, 0, {}},
    // Resolves to device CMYK, but never through DefaultCMYK: its count
    // for the Default test is 0.
    {"CalCMYK", kBaseless, false, Factory::kDeviceCmyk, false, 0, "DefaultCMYK"},
    {"G", kBaseless, true, Factory::kDeviceGray, false, 1, "DefaultGray"},
    {"RGB", kBaseless, true, Factory::kDeviceRgb, false, 3, "DefaultRGB"},
    {"CMYK", kBaseless, true, Factory::kDeviceCmyk, false, 4, "DefaultCMYK"},
    {"I", ColorSpaceFamily::kIndexed, true, Factory::kNone, false, 0, {}},
};

}  // namespace

const ColorSpaceFamily::Row* ColorSpaceFamily::Find(std::string_view name, bool allowAbbreviations) {
  for (const Row& row : kFamilies) {
    if (row.name == name && (!row.abbreviation || allowAbbreviations)) return &row;
  }
  return nullptr;
}

int32_t ColorSpaceFamily::FromName(std::string_view name, bool allowAbbreviations) {
  const Row* row = Find(name, allowAbbreviations);
  return row != nullptr ? row->familyClass : kUnknown;
}

}  // namespace color
