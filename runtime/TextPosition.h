#pragma once
// The address of one extracted character, shared by text extraction and
// the viewer's search and selection: ordered by page, operation, string,
// glyph, character, and last the after flag (the place just behind the
// character sorts after the character itself).
#include <cstdint>

namespace runtime {

struct TextPosition {
  int32_t page = 0;
  uint32_t operation = 0;
  uint32_t string = 0;
  uint32_t glyph = 0;
  uint8_t character = 0;
  uint8_t after = 0;

  static int Compare(const TextPosition& a, const TextPosition& b);
  static bool Less(const TextPosition& a, const TextPosition& b) { return Compare(a, b) < 0; }
  static bool Greater(const TextPosition& a, const TextPosition& b) { return Compare(a, b) > 0; }
  static bool Equals(const TextPosition& a, const TextPosition& b) { return Compare(a, b) == 0; }
};

// A stretch of extracted text between two positions.
struct TextRange {
  TextPosition start;
  TextPosition end;

  void Clear() { *this = TextRange{}; }
};

}  // namespace runtime
