#pragma once
// PDF text strings as the user interface shows them: UTF-16 units, and the
// date form of "ModDate" made readable.
#include <cstdint>

#include "runtime/ObjectValue.h"

namespace pdf {

// Converts a text string: UTF-16BE after the bytes FE FF, else one
// PDFDocEncoding byte a character. Language escapes (U+001B ... U+001B) are
// dropped, control characters below 24 and U+FFFD become spaces.
// With `buffer` null or `*capacity` 0, `*capacity` becomes the number of
// units plus one. Otherwise at most `*capacity` - 1 units and a terminating
// zero are written; a cut never leaves half a surrogate pair behind.
void PdfTextToUtf16(char16_t* buffer, uint32_t* capacity, const runtime::ByteString& text);

// Rewrites "D:YYYYMMDDHHmmSSOHH'mm'" in place as "YYYY/MM/DD HH:mm:SS OHH:mm",
// taking only the fields the string holds. Needs a capacity of 30 units;
// with less the string is made empty.
void FormatPdfDateInPlace(char16_t* text, uint32_t capacity);

}  // namespace pdf
