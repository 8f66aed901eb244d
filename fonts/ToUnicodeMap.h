#pragma once
// A font's own "ToUnicode" CMap as its code-to-Unicode map. A simple
// font's codes are one byte each, whatever code-space ranges the map
// declares; a composite font's codes are split by the map.
#include "fonts/CMap.h"
#include "fonts/UnicodeMap.h"

namespace fonts {

class ToUnicodeMap final : public UnicodeMap {
 public:
  ToUnicodeMap(CMapRef map, bool oneByteCodes);

  const uint8_t* NextChar(runtime::DecodedChar* out, const uint8_t* cursor,
                          const uint8_t* end) override;
  uint32_t ByteSize() const override;
  bool IsReal() const override { return true; }
  const CMap& Map() const { return *map_; }

 private:
  CMapRef map_;
  bool oneByteCodes_;
};

}  // namespace fonts
