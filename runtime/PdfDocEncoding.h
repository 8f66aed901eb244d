#pragma once
// PDFDocEncoding: the single-byte text encoding of PDF text strings and of
// the passwords of the standard security handler (revisions 2 to 4).
#include <cstdint>

namespace runtime {

// The Unicode value of each byte; 0 where the encoding defines none.
extern const char16_t kPdfDocEncoding[256];

// The byte for one UTF-16 unit: the unit itself where the encoding maps
// that byte to itself, else the byte the encoding assigns to the character
// (U+20AC gives 0xA0). A character the encoding lacks keeps its low byte,
// as no byte can stand for it.
uint8_t UnicodeToPdfDocByte(char16_t unit);

}  // namespace runtime
