#pragma once
// The Unicode side of a font as text extraction reads it: a code-to-Unicode
// map built once per font dictionary (from its ToUnicode stream, its
// encoding or its character collection) and shared through the text
// consumer's resource cache.
#include <cstdint>

#include "runtime/CountedRef.h"
#include "runtime/FontResource.h"

namespace fonts {

class UnicodeMap : public runtime::FontResource {
 public:
  // The bytes the map holds (the cache's cost).
  virtual uint32_t ByteSize() const = 0;
  // False for the fallback map, whose values are no real mapping.
  virtual bool IsReal() const = 0;

  // With an empty range: whether the map is a real mapping. Otherwise:
  // whether some code of the range maps to Unicode.
  bool HasUnicode(const uint8_t* begin, const uint8_t* end, uint32_t defaultChar) override;

  uint32_t refCount = 1;
};

using UnicodeMapRef = runtime::CountedRef<UnicodeMap>;

// A surrogate pair becomes its code point; any other run of units stays.
void SetDecodedUnits(runtime::DecodedChar* out, const char16_t* begin, const char16_t* end);

}  // namespace fonts
