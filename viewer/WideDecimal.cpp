#include "viewer/WideDecimal.h"

namespace viewer {
namespace {

// The zero of every block of ten decimal digits that is read.
constexpr char16_t kDigitZeros[] = {0x0030, 0x0660, 0x06F0, 0x0966, 0x09E6, 0x0A66,
                                    0x0AE6, 0x0B66, 0x0C66, 0x0CE6, 0x0D66, 0x0E50,
                                    0x0ED0, 0x0F20, 0x1040, 0x17E0, 0x1810, 0xFF10};

}  // namespace

int32_t WideDigitValue(char16_t unit) {
  for (const char16_t zero : kDigitZeros) {
    if (unit >= zero && unit < zero + 10) return unit - zero;
  }
  return -1;
}

uint32_t ParseWideDecimal(const char16_t* text) {
  if (text == nullptr) return 0;
  uint32_t value = 0;
  for (; *text != u'\0'; ++text) {
    const int32_t digit = WideDigitValue(*text);
    if (digit < 0) break;
    if (value > (UINT32_MAX - static_cast<uint32_t>(digit)) / 10) {
      value = UINT32_MAX;
    } else {
      value = value * 10 + static_cast<uint32_t>(digit);
    }
  }
  return value;
}

}  // namespace viewer
