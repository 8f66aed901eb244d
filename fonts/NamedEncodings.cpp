#include "fonts/NamedEncodings.h"

#include "fonts/FontError.h"
#include "resources/StandardFontTables.h"

namespace fonts {

bool EncodingKindByName(std::string_view name) {
  return name == "MacRomanEncoding" || name == "MacExpertEncoding" ||
         name == "WinAnsiEncoding" || name == "PDFDocEncoding";
}

NameTable StandardEncodingTable(std::string_view name) {
  if (name == "MacRomanEncoding") return resources::kMacRomanEncodingNames;
  if (name == "MacExpertEncoding") return resources::kMacExpertEncodingNames;
  if (name == "WinAnsiEncoding" || name == "PDFDocEncoding") {
    return resources::kWinAnsiEncodingNames;
  }
  ThrowMalformedFont();
}

EncodingKind TrueTypeEncodingKind(std::string_view name) {
  if (name == "MacRomanEncoding") return EncodingKind::kMacRoman;
  if (name == "MacExpertEncoding") return EncodingKind::kMacExpert;
  if (name == "WinAnsiEncoding") return EncodingKind::kWinAnsi;
  return EncodingKind::kNone;
}

NameTable StandardEncodingNames() { return resources::kStandardEncodingNames; }

}  // namespace fonts
