#pragma once
// The code-to-Unicode map of a simple font (one byte per code): 256
// values taken from a named encoding, the font's Differences or its
// program's glyph names; or the fallback (each code itself, marked as no
// real mapping).
#include <cstdint>
#include <string_view>

#include "fonts/UnicodeMap.h"
#include "runtime/LibraryContext.h"
#include "runtime/ObjectHandle.h"

namespace fonts {

class SimpleCodeMap final : public UnicodeMap {
 public:
  // The object's size as the cache counts it.
  static constexpr uint32_t kByteSize = 524;

  // A copy of `values` (256 of them).
  static SimpleCodeMap* New(runtime::LibraryContext* context, const uint16_t* values, bool real);
  // Each code's value from its glyph name (null: none) through the glyph
  // list.
  static SimpleCodeMap* FromGlyphNames(runtime::LibraryContext* context,
                                       const char* const* names);
  // `base` with a Differences array applied: an integer sets the current
  // code, a name stores its value there (codes 0 to 255 only) and moves
  // on; any other element raises (runtime, 2). With `namesAreKeys`, a
  // name the glyph list does not know (other than ".notdef") leaves the
  // code's base value: a Type 3 font's names only key its procedures
  // (/square, /a97), so they say nothing of the character.
  static SimpleCodeMap* FromDifferences(runtime::LibraryContext* context, const uint16_t* base,
                                        const runtime::ObjectHandle& differences, bool namesAreKeys = false);
  // Each code itself, marked as no real mapping.
  static SimpleCodeMap* Fallback(runtime::LibraryContext* context);
  // Each code itself as a real mapping (symbolic TrueType fonts).
  static SimpleCodeMap* Identity(runtime::LibraryContext* context);

  SimpleCodeMap(const uint16_t* values, bool real);

  const uint8_t* NextChar(runtime::DecodedChar* out, const uint8_t* cursor,
                          const uint8_t* end) override;
  uint32_t ByteSize() const override { return kByteSize; }
  bool IsReal() const override { return real_; }
  uint16_t ValueOf(uint8_t code) const { return values_[code]; }

 private:
  uint16_t values_[256];
  bool real_;
};

// The Unicode table of "MacRomanEncoding", "WinAnsiEncoding" or
// "MacExpertEncoding" (compared exactly); null for any other name.
const uint16_t* StandardEncodingByName(std::string_view name);

}  // namespace fonts
