#include "fonts/Type0UnicodeMap.h"

#include "runtime/LibraryContext.h"

namespace fonts {

Type0UnicodeMap::Type0UnicodeMap(CMapRef encoding, CMapRef ucs2, runtime::LibraryContext* context,
                                 uint16_t* cidUnicode, uint32_t count)
    : encoding_(std::move(encoding)),
      ucs2_(std::move(ucs2)),
      context_(context),
      cidUnicode_(cidUnicode),
      cidCount_(cidUnicode != nullptr ? count : 0) {}

Type0UnicodeMap::~Type0UnicodeMap() {
  if (cidUnicode_ != nullptr) context_->memory.Free(cidUnicode_);
}

void Type0UnicodeMap::Map(uint32_t cid, runtime::DecodedChar* out) const {
  *out = runtime::DecodedChar{};
  if (!ucs2_) {
    if (cid < cidCount_) out->codePoint = cidUnicode_[cid];
    return;
  }
  if (cid > 0xFFFF) return;
  const uint8_t bytes[2] = {static_cast<uint8_t>(cid >> 8), static_cast<uint8_t>(cid)};
  const uint8_t* cursor = bytes;
  const CodeMapping mapping = ucs2_->Lookup(&cursor, bytes + 2);
  if (mapping.HasUnits()) {
    SetDecodedUnits(out, mapping.unitsBegin, mapping.unitsEnd);
  } else {
    out->codePoint = static_cast<uint32_t>(mapping.value);
  }
}

const uint8_t* Type0UnicodeMap::NextChar(runtime::DecodedChar* out, const uint8_t* cursor,
                                         const uint8_t* end) {
  *out = runtime::DecodedChar{};
  if (cursor >= end) return cursor;
  uint32_t cid = 0;
  const uint8_t* next = cursor;
  if (!encoding_) {
    if (end - cursor >= 2) {
      cid = (uint32_t{cursor[0]} << 8) | cursor[1];
      next = cursor + 2;
    } else {
      next = cursor + 1;
    }
  } else {
    const CodeMapping mapping = encoding_->Lookup(&next, end);
    if (!mapping.HasUnits()) cid = static_cast<uint32_t>(mapping.value);
    if (next <= cursor) next = cursor + 1;
  }
  Map(cid, out);
  return next;
}

uint32_t Type0UnicodeMap::ByteSize() const {
  return kOwnSize + (encoding_ ? encoding_->Size() : 0) + (ucs2_ ? ucs2_->Size() : 0) +
         cidCount_ * static_cast<uint32_t>(sizeof(uint16_t));
}

}  // namespace fonts
