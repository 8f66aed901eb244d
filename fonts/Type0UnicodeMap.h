#pragma once
// The code-to-Unicode map of a composite font without a ToUnicode stream:
// its codes are split and turned into CIDs by its encoding (the two-byte
// identity, a built-in CMap or an embedded CMap stream), and each CID is
// looked up, as two big-endian bytes, in the "-UCS2" map of its character
// collection. A font without one whose embedded TrueType program maps
// Unicode to glyphs reads its CIDs back through that map instead (a table
// of each CID's Unicode value). Without either the codes are still split
// but carry no Unicode.
#include "fonts/CMap.h"
#include "fonts/UnicodeMap.h"

namespace fonts {

class Type0UnicodeMap final : public UnicodeMap {
 public:
  // The object's size as the cache counts it, beside the maps.
  static constexpr uint32_t kOwnSize = 56;

  // `encoding` empty: the two-byte identity. `cidUnicode` (`count`
  // values, each CID's Unicode or 0, allocated from `context`'s memory) is
  // owned by the map and consulted only without `ucs2`.
  Type0UnicodeMap(CMapRef encoding, CMapRef ucs2, runtime::LibraryContext* context = nullptr,
                  uint16_t* cidUnicode = nullptr, uint32_t count = 0);
  ~Type0UnicodeMap() override;
  Type0UnicodeMap(const Type0UnicodeMap&) = delete;
  Type0UnicodeMap& operator=(const Type0UnicodeMap&) = delete;

  // The Unicode of a CID; 0 for none.
  const uint8_t* NextChar(runtime::DecodedChar* out, const uint8_t* cursor,
                          const uint8_t* end) override;
  uint32_t ByteSize() const override;
  bool IsReal() const override { return static_cast<bool>(ucs2_) || cidUnicode_ != nullptr; }
  // The mapping of one code, for callers that split codes themselves.
  void Map(uint32_t cid, runtime::DecodedChar* out) const;

 private:
  CMapRef encoding_;
  CMapRef ucs2_;
  runtime::LibraryContext* context_;
  uint16_t* cidUnicode_;
  uint32_t cidCount_;
};

}  // namespace fonts
