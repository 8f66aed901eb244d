#include "fonts/UnicodeMap.h"

namespace fonts {

bool UnicodeMap::HasUnicode(const uint8_t* begin, const uint8_t* end, uint32_t) {
  if (!IsReal()) return false;
  if (begin >= end) return true;
  // A code the map leaves out (often a space glyph that a ToUnicode
  // stream skips) takes nothing from the text of the codes around it.
  while (begin < end) {
    runtime::DecodedChar decoded;
    const uint8_t* next = NextChar(&decoded, begin, end);
    if (decoded.codePoint != 0 || decoded.HasUnits()) return true;
    begin = next > begin ? next : begin + 1;
  }
  return false;
}

void SetDecodedUnits(runtime::DecodedChar* out, const char16_t* begin, const char16_t* end) {
  *out = runtime::DecodedChar{};
  const auto count = end - begin;
  if (count == 1) {
    out->codePoint = begin[0];
  } else if (count == 2 && begin[0] >= 0xD800 && begin[0] <= 0xDBFF && begin[1] >= 0xDC00 &&
             begin[1] <= 0xDFFF) {
    out->codePoint = 0x10000 + ((uint32_t{begin[0]} - 0xD800) << 10) + (begin[1] - 0xDC00);
  } else if (count > 1) {
    out->unitsBegin = begin;
    out->unitsEnd = end;
  }
}

}  // namespace fonts
