#pragma once
// A font's own "ToUnicode" CMap as its code-to-Unicode map. A simple
// font's codes are one byte each, whatever code-space ranges the map
// declares; a composite font's codes are split by the map. A code the map
// leaves without Unicode takes what the font's encoding gives it (many
// files map only some of their codes).
#include "fonts/CMap.h"
#include "fonts/UnicodeMap.h"

namespace fonts {

class ToUnicodeMap final : public UnicodeMap {
 public:
  // `encoding` (may be empty): the map of the font's encoding, asked for
  // codes the ToUnicode map does not map.
  ToUnicodeMap(CMapRef map, bool oneByteCodes, UnicodeMapRef encoding);

  const uint8_t* NextChar(runtime::DecodedChar* out, const uint8_t* cursor,
                          const uint8_t* end) override;
  uint32_t ByteSize() const override;
  bool IsReal() const override { return true; }
  const CMap& Map() const { return *map_; }

 private:
  CMapRef map_;
  bool oneByteCodes_;
  UnicodeMapRef encoding_;
};

}  // namespace fonts
