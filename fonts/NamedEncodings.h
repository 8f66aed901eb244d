#pragma once
// The named simple-font encodings a font dictionary may give: their code
// tables (code to glyph name, null for an unused code) and the encoding
// kinds a TrueType program is asked for.
#include <string_view>

namespace fonts {

using NameTable = const char* const*;

// TrueType encoding kinds: 0 none, 1 MacRoman, 2 MacExpert, 3 WinAnsi.
enum class EncodingKind : int { kNone = 0, kMacRoman = 1, kMacExpert = 2, kWinAnsi = 3 };

// True for "MacRomanEncoding", "MacExpertEncoding", "WinAnsiEncoding" and
// "PDFDocEncoding".
bool EncodingKindByName(std::string_view name);
// The code table of one of those names ("PDFDocEncoding" reads as
// WinAnsiEncoding); (runtime, 2) for any other name.
NameTable StandardEncodingTable(std::string_view name);
// The TrueType kind of an "Encoding" name; kNone for any other name
// ("PDFDocEncoding" included).
EncodingKind TrueTypeEncodingKind(std::string_view name);
// StandardEncoding's code table.
NameTable StandardEncodingNames();

}  // namespace fonts
