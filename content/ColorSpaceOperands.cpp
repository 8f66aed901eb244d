#include "content/ColorSpaceOperands.h"

#include "content/GraphicsState.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace content {

bool IsIndexedColorSpaceName(std::string_view name, bool abbreviations) {
  return name == "Indexed" || (abbreviations && name == "I");
}

uint32_t DeviceComponents(std::string_view name, bool abbreviations) {
  if (name == "DeviceGray" || (abbreviations && name == "G")) return 1;
  if (name == "DeviceRGB" || (abbreviations && name == "RGB")) return 3;
  if (name == "DeviceCMYK" || (abbreviations && name == "CMYK")) return 4;
  return 0;
}

uint32_t ComponentCount(ColorSpaceOperands& space, bool abbreviations) {
  if (space.Count() == 0) runtime::ThrowRuntime(runtime::kMalformed);
  const std::string_view family = space.NameAt(0);
  if (const uint32_t device = DeviceComponents(family, abbreviations)) return device;
  if (IsIndexedColorSpaceName(family, abbreviations)) return 1;
  if (family == "CalRGB" || family == "Lab") return 3;
  if (family == "CalGray" || family == "Separation") return 1;
  if (family == "DeviceN") {
    const uint32_t count = space.CountOfArrayAt(1);
    if (count == 0 || count > ColorRecord::kMaxComponents) {
      runtime::ThrowRuntime(runtime::kMalformed);
    }
    return count;
  }
  if (family == "ICCBased") {
    const int32_t n = runtime::Dictionary::GetIntegerOr(space.StreamAt(1), "N", 0);
    if (n != 1 && n != 3 && n != 4) runtime::ThrowRuntime(runtime::kMalformed);
    return static_cast<uint32_t>(n);
  }
  // Pattern spaces paint no samples; other names are no colour space we
  // know how to count.
  runtime::ThrowRuntime(runtime::kUnsupported);
}

}  // namespace content
