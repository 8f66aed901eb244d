#include "fonts/ToUnicodeMap.h"

namespace fonts {

ToUnicodeMap::ToUnicodeMap(CMapRef map, bool oneByteCodes, UnicodeMapRef encoding)
    : map_(std::move(map)), oneByteCodes_(oneByteCodes), encoding_(std::move(encoding)) {}

const uint8_t* ToUnicodeMap::NextChar(runtime::DecodedChar* out, const uint8_t* cursor,
                                      const uint8_t* end) {
  *out = runtime::DecodedChar{};
  if (cursor >= end) return cursor;
  CodeMapping mapping;
  const uint8_t* next = cursor;
  if (oneByteCodes_) {
    mapping = map_->Lookup(&next, cursor + 1);
    // Maps written with two-byte codes for a simple font give the byte
    // as <00xx>.
    if (mapping.value == 0 && !mapping.HasUnits()) {
      const uint8_t wide[2] = {0, *cursor};
      const uint8_t* at = wide;
      mapping = map_->Lookup(&at, wide + 2);
    }
    next = cursor + 1;
  } else {
    mapping = map_->Lookup(&next, end);
    if (next <= cursor) next = cursor + 1;
  }
  if (mapping.HasUnits()) {
    SetDecodedUnits(out, mapping.unitsBegin, mapping.unitsEnd);
  } else {
    out->codePoint = static_cast<uint32_t>(mapping.value);
  }
  if (out->codePoint == 0 && !out->HasUnits() && encoding_) encoding_->NextChar(out, cursor, end);
  return next;
}

uint32_t ToUnicodeMap::ByteSize() const {
  return static_cast<uint32_t>(sizeof(ToUnicodeMap)) + map_->Size() +
         (encoding_ ? encoding_->ByteSize() : 0);
}

}  // namespace fonts
