#include "color/IccSignature.h"

#include "runtime/ErrorTrap.h"

namespace color {

int32_t IccSpaceChannelCount(uint32_t signature) {
  switch (signature) {
    case IccSig("GRAY"):
      return 1;
    case IccSig("2CLR"):
      return 2;
    case IccSig("RGB "):
    case IccSig("Lab "):
    case IccSig("XYZ "):
    case IccSig("YCbr"):
    case IccSig("3CLR"):
      return 3;
    case IccSig("CMYK"):
    case IccSig("4CLR"):
      return 4;
    case IccSig("5CLR"):
    case IccSig("6CLR"):
    case IccSig("7CLR"):
    case IccSig("8CLR"):
      runtime::ThrowRuntime(runtime::kUnsupported);
    default:
      runtime::ThrowRuntime(runtime::kMalformed);
  }
}

}  // namespace color
