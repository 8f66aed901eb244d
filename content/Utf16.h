#pragma once
// Stepping through UTF-16 text a user typed (the search string).
#include <cstdint>

namespace content {

struct Utf16 {
  // What a lone surrogate reads as.
  static constexpr uint32_t kInvalid = 0xFFFFFFFF;

  // The code point at `cursor`: a unit outside the surrogates, a valid
  // pair combined, kInvalid for a lone surrogate. `end` bounds the read of
  // a pair's second unit.
  static uint32_t CodePointAt(const char16_t* cursor, const char16_t* end);
  // Past one code point: two units for a valid pair, else one; never
  // beyond `end`.
  static const char16_t* Advance(const char16_t* cursor, const char16_t* end);
};

}  // namespace content
