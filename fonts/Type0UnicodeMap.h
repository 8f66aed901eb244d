#pragma once
// The code-to-Unicode map of a composite font without a ToUnicode stream:
// its codes are split and turned into CIDs by its encoding (the two-byte
// identity, a built-in CMap or an embedded CMap stream), and each CID is
// looked up, as two big-endian bytes, in the "-UCS2" map of its character
// collection. Without a "-UCS2" map the codes are still split but carry no
// Unicode.
#include "fonts/CMap.h"
#include "fonts/UnicodeMap.h"

namespace fonts {

class Type0UnicodeMap final : public UnicodeMap {
 public:
  // The object's size as the cache counts it, beside the maps.
  static constexpr uint32_t kOwnSize = 56;

  // `encoding` empty: the two-byte identity.
  Type0UnicodeMap(CMapRef encoding, CMapRef ucs2);

  // The Unicode of a CID; 0 for none.
  const uint8_t* NextChar(runtime::DecodedChar* out, const uint8_t* cursor,
                          const uint8_t* end) override;
  uint32_t ByteSize() const override;
  bool IsReal() const override { return static_cast<bool>(ucs2_); }
  // The mapping of one code, for callers that split codes themselves.
  void Map(uint32_t cid, runtime::DecodedChar* out) const;

 private:
  CMapRef encoding_;
  CMapRef ucs2_;
};

}  // namespace fonts
