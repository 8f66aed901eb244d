#pragma once
// The byte classes of PDF syntax, one set of bits per byte value. Scanners
// test a whole class with one mask instead of comparing byte by byte.
#include <array>
#include <cstdint>

namespace pdf {

enum PdfCharBits : uint8_t {
  kWhiteSpace = 0x01,    // NUL TAB LF FF CR SP
  kDelimiter = 0x02,     // % / < > [ ] { } ( )
  kNotDecimal = 0x04,    // every byte but 0-9
  kNotHexOrSpace = 0x08, // every byte but 0-9 A-F a-f and white-space
  kStringSpecial = 0x10, // ( ) backslash
  kOctal = 0x20,         // 0-7
  kEndOfLine = 0x40,     // LF CR
};

// White-space or delimiter: what ends a regular run (a name, number or
// keyword).
inline constexpr uint8_t kTokenEnd = kWhiteSpace | kDelimiter;

constexpr std::array<uint8_t, 256> BuildPdfCharClass() {
  std::array<uint8_t, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    const bool space = byte == 0 || byte == '\t' || byte == '\n' || byte == '\f' ||
                       byte == '\r' || byte == ' ';
    const bool decimal = byte >= '0' && byte <= '9';
    const bool hex = decimal || (byte >= 'A' && byte <= 'F') || (byte >= 'a' && byte <= 'f');
    const bool delimiter = byte == '%' || byte == '/' || byte == '<' || byte == '>' ||
                           byte == '[' || byte == ']' || byte == '{' || byte == '}' ||
                           byte == '(' || byte == ')';
    uint8_t bits = 0;
    if (space) bits |= kWhiteSpace;
    if (delimiter) bits |= kDelimiter;
    if (!decimal) bits |= kNotDecimal;
    if (!hex && !space) bits |= kNotHexOrSpace;
    if (byte == '(' || byte == ')' || byte == '\\') bits |= kStringSpecial;
    if (byte >= '0' && byte <= '7') bits |= kOctal;
    if (byte == '\n' || byte == '\r') bits |= kEndOfLine;
    table[byte] = static_cast<uint8_t>(bits);
  }
  return table;
}

inline constexpr std::array<uint8_t, 256> kPdfCharClass = BuildPdfCharClass();

inline bool IsWhiteSpace(uint8_t byte) { return (kPdfCharClass[byte] & kWhiteSpace) != 0; }
inline bool IsTokenEnd(uint8_t byte) { return (kPdfCharClass[byte] & kTokenEnd) != 0; }
inline bool IsDecimal(uint8_t byte) { return (kPdfCharClass[byte] & kNotDecimal) == 0; }
inline bool IsHexDigit(uint8_t byte) {
  return (kPdfCharClass[byte] & (kNotHexOrSpace | kWhiteSpace)) == 0;
}
// The value of a hexadecimal digit (the caller has checked it is one).
inline uint8_t HexValue(uint8_t byte) {
  return byte <= '9' ? byte - '0' : (byte | 0x20) - 'a' + 10;
}

}  // namespace pdf
