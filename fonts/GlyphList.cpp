#include "fonts/GlyphList.h"

#include "resources/UnicodeTables.h"

namespace fonts {
namespace {

// The value of `digits` hexadecimal digits, or -1.
int64_t HexValue(std::string_view digits) {
  int64_t value = 0;
  for (char c : digits) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (d < 0) return -1;
    value = value * 16 + d;
  }
  return value;
}

// A Unicode value a name spells: "uniXXXX" (four digits) or "uXXXX" to
// "uXXXXXX"; only values of the basic plane outside the surrogates count.
uint16_t SpelledUnicode(std::string_view name) {
  int64_t value = -1;
  if (name.size() == 7 && name.substr(0, 3) == "uni") {
    value = HexValue(name.substr(3));
  } else if (name.size() >= 5 && name.size() <= 7 && name[0] == 'u') {
    value = HexValue(name.substr(1));
  }
  if (value <= 0 || value > 0xFFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return static_cast<uint16_t>(value);
}

}  // namespace

uint16_t GlyphNameUnicode(std::string_view name) {
  // A suffix after a period names a variant of the same character
  // ("one.os", "a.sc").
  const size_t period = name.find('.');
  if (period != std::string_view::npos && period != 0) name = name.substr(0, period);
  uint32_t low = 0;
  uint32_t high = resources::kGlyphListCount;
  while (low < high) {
    const uint32_t middle = low + (high - low) / 2;
    const int order = name.compare(resources::kGlyphListNames[middle]);
    if (order == 0) return resources::kGlyphListValues[middle];
    if (order < 0) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return SpelledUnicode(name);
}

}  // namespace fonts
