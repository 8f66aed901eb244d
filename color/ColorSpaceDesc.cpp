#include "color/ColorSpaceDesc.h"

#include <cstring>

#include "color/ColorContext.h"
#include "runtime/ErrorTrap.h"

namespace color {

ColorSpaceDesc::ColorSpaceDesc(std::string_view name, const runtime::ObjectHandle& resources)
    : kind_(kNamed), resources_(resources) {
  if (name.size() > kMaxName) runtime::ThrowRuntime(runtime::kMalformed);
  std::memcpy(name_, name.data(), name.size());
  nameLength_ = static_cast<uint8_t>(name.size());
}

std::string_view ColorSpaceDesc::Name() const {
  switch (kind_) {
    case kDeviceGray:
      return "DeviceGray";
    case kDeviceRgb:
      return "DeviceRGB";
    case kDeviceCmyk:
      return "DeviceCMYK";
    default:
      return {name_, nameLength_};
  }
}

const ColorSpaceRecord& ColorSpaceDesc::Resolve(ColorContext& colors) {
  if (resolved_.space) return resolved_;
  resolved_ = ColorSpace::Parse(colors, Name(), resources_, false, true, nullptr, 0, false);
  return resolved_;
}

}  // namespace color
