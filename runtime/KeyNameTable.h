#pragma once
// The names that inline images and filter lists may write in full or
// abbreviated form, one row per key or value name.
#include <cstdint>

namespace runtime {

enum class KeyRow : uint32_t {
  kBitsPerComponent = 0,
  kColorSpace,
  kDecode,
  kDecodeParms,
  kFilter,
  kHeight,
  kImageMask,
  kInterpolate,
  kWidth,
  kDeviceGray,
  kDeviceRGB,
  kDeviceCMYK,
  kIndexed,
  kASCIIHexDecode,
  kASCII85Decode,
  kLZWDecode,
  kFlateDecode,
  kRunLengthDecode,
  kCCITTFaxDecode,
  kDCTDecode,
};

inline constexpr uint32_t kKeyRowCount = 20;

struct KeyNamePair {
  const char* full;
  const char* abbreviation;
};

// The row's names; (runtime, 2) for a row beyond the table.
const KeyNamePair& KeyNames(KeyRow row);

}  // namespace runtime
