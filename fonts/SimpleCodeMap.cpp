#include "fonts/SimpleCodeMap.h"

#include <cstring>

#include "fonts/GlyphList.h"
#include "resources/UnicodeTables.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/TransientBlocks.h"

namespace fonts {

const uint16_t* StandardEncodingByName(std::string_view name) {
  if (name == "MacRomanEncoding") return resources::kMacRomanEncodingUnicode;
  if (name == "WinAnsiEncoding") return resources::kWinAnsiEncodingUnicode;
  if (name == "MacExpertEncoding") return resources::kMacExpertEncodingUnicode;
  return nullptr;
}

SimpleCodeMap::SimpleCodeMap(const uint16_t* values, bool real) : real_(real) {
  std::memcpy(values_, values, sizeof(values_));
}

SimpleCodeMap* SimpleCodeMap::New(runtime::LibraryContext* context, const uint16_t* values,
                                  bool real) {
  return runtime::NewObject<SimpleCodeMap>(context, values, real);
}

SimpleCodeMap* SimpleCodeMap::FromGlyphNames(runtime::LibraryContext* context,
                                             const char* const* names) {
  uint16_t values[256];
  for (int code = 0; code < 256; ++code) {
    values[code] = names[code] != nullptr ? GlyphNameUnicode(names[code]) : 0;
  }
  return New(context, values, true);
}

SimpleCodeMap* SimpleCodeMap::FromDifferences(runtime::LibraryContext* context,
                                              const uint16_t* base,
                                              const runtime::ObjectHandle& differences,
                                              bool namesAreKeys) {
  uint16_t values[256];
  std::memcpy(values, base, sizeof(values));
  const uint32_t count = runtime::Array::Count(differences);
  // Codes outside 0..255 (negative ones too) take no names until an
  // integer brings the code back.
  int64_t code = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const runtime::ObjectHandle element = runtime::Array::Get(differences, i);
    if (element.Tag() == runtime::ObjectTag::kInteger) {
      code = element->AsInteger();
    } else if (element.Tag() == runtime::ObjectTag::kName) {
      if (code >= 0 && code < 256) {
        const std::string_view name = element->AsName().View();
        const uint16_t value = GlyphNameUnicode(name);
        if (value != 0 || !namesAreKeys || name == ".notdef") values[code] = value;
        ++code;
      }
    } else {
      runtime::ThrowMalformed();
    }
  }
  return New(context, values, true);
}

SimpleCodeMap* SimpleCodeMap::Fallback(runtime::LibraryContext* context) {
  uint16_t values[256];
  for (int code = 0; code < 256; ++code) values[code] = static_cast<uint16_t>(code);
  return New(context, values, false);
}

SimpleCodeMap* SimpleCodeMap::Identity(runtime::LibraryContext* context) {
  uint16_t values[256];
  for (int code = 0; code < 256; ++code) values[code] = static_cast<uint16_t>(code);
  return New(context, values, true);
}

const uint8_t* SimpleCodeMap::NextChar(runtime::DecodedChar* out, const uint8_t* cursor,
                                       const uint8_t* end) {
  *out = runtime::DecodedChar{};
  if (cursor >= end) return cursor;
  out->codePoint = values_[*cursor];
  return cursor + 1;
}

}  // namespace fonts
