#pragma once
// The built-in CMaps of the four CJK character collections, found by name.
// Their tables are packed; BuiltinCMapTextStream turns one back into CMap
// text for the parser.
#include <cstdint>
#include <string_view>

namespace fonts {

struct PredefinedCMap {
  const uint8_t* data = nullptr;
  uint32_t length = 0;

  explicit operator bool() const { return data != nullptr; }
};

// The packed table of `name`. Selector 0 tries Japan1, GB1, CNS1 and
// Korea1 in that order; 1 to 4 search one collection (the collection
// numbers); any other selector finds nothing. The "-UCS2" maps answer to
// our registry name and to the one real files carry.
PredefinedCMap LookupPredefinedCMap(int selector, std::string_view name);

// Whether `name` is one of the two-byte identity encodings.
bool IsIdentityCMapName(std::string_view name);

// Whether a composite font's encoding and a second map (its collection's
// "-UCS2" map) are both at hand for `selector`: the encoding is an identity
// or built in, and the second map is built in.
bool CMapPairAvailable(std::string_view encodingName, std::string_view secondName, int selector);

}  // namespace fonts
