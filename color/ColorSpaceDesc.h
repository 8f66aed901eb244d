#pragma once
// A colour space as a colour operator named it (cs, CS, or the gray, RGB
// and CMYK operators), resolved on first use and kept.
#include <cstdint>
#include <string_view>

#include "color/ColorSpaceRecord.h"
#include "runtime/ObjectHandle.h"

namespace color {

class ColorContext;

class ColorSpaceDesc {
 public:
  enum Kind : uint8_t { kDeviceGray = 0, kDeviceRgb = 1, kDeviceCmyk = 2, kNamed = 3 };
  // PDF names are at most this long.
  static constexpr uint32_t kMaxName = 127;

  ColorSpaceDesc() = default;
  // A device family.
  explicit ColorSpaceDesc(Kind kind) : kind_(kind) {}
  // A name of `resources`' "ColorSpace" dictionary (or a family name);
  // (runtime, 2) for a name longer than kMaxName.
  ColorSpaceDesc(std::string_view name, const runtime::ObjectHandle& resources);

  // The record, parsed with the recording's resources the first time (no
  // abbreviations, tint spaces allowed) and kept once it holds a space; a
  // result without one (a Pattern without an underlying space) is parsed
  // again on the next call.
  const ColorSpaceRecord& Resolve(ColorContext& colors);

  Kind GetKind() const { return kind_; }
  std::string_view Name() const;

 private:
  Kind kind_ = kDeviceGray;
  uint8_t nameLength_ = 0;
  char name_[kMaxName + 1] = {};
  runtime::ObjectHandle resources_;
  ColorSpaceRecord resolved_;
};

}  // namespace color
