#include "content/Utf16.h"

namespace content {

namespace {

bool IsHigh(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLow(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

bool StartsPair(const char16_t* cursor, const char16_t* end) {
  return IsHigh(*cursor) && cursor + 1 < end && IsLow(cursor[1]);
}

}  // namespace

uint32_t Utf16::CodePointAt(const char16_t* cursor, const char16_t* end) {
  const uint32_t unit = *cursor;
  if (unit < 0xD800 || unit > 0xDFFF) return unit;
  if (StartsPair(cursor, end)) return (((unit & 0x3FF) << 10) | (cursor[1] & 0x3FFu)) + 0x10000;
  return kInvalid;
}

const char16_t* Utf16::Advance(const char16_t* cursor, const char16_t* end) {
  if (cursor >= end) return end;
  // A lone surrogate is one unit: stepping two would swallow the
  // character after it.
  return StartsPair(cursor, end) ? cursor + 2 : cursor + 1;
}

}  // namespace content
