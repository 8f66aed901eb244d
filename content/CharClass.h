#pragma once
// Character folding and the character classes of text extraction and
// search: every character taken from a page, and every character a user
// types, passes through KanaFold, so that differences a reader does not
// notice (case, curly quotes, ligatures, halfwidth katakana, soft hyphens)
// do not stop a match.
#include <cstdint>

namespace content {

// Binary searches over sorted, non-overlapping tables.
struct RangeTable {
  // Inclusive (first, last) pairs of 32-bit code points.
  static bool Contains(const uint32_t (*begin)[2], const uint32_t (*end)[2], uint32_t code);
};
struct RangeTable16 {
  static bool Contains(const uint16_t (*begin)[2], const uint16_t (*end)[2], uint32_t code);
};
struct SortedList16 {
  static bool Contains(const uint16_t* begin, const uint16_t* end, uint32_t code);
};

// Up to three code points: what one folded code point becomes.
struct FoldedChars {
  uint32_t chars[3] = {};
  uint32_t count = 0;

  void Append(uint32_t c) { chars[count++] = c; }
};

// Appends the folded form of `code` to `out` (zero to three code points):
// case (optional), curly quotes (optional), Latin ligatures, the IJ
// digraph, halfwidth katakana (optional) and the soft hyphen, which folds
// to nothing.
void KanaFold(FoldedChars& out, uint32_t code, bool caseFold, bool quoteFold, bool kanaFold);

struct CharClass {
  // Not a letter, mark or digit of any script (the apostrophe counts as a
  // word character; ideographs and hiragana do not).
  static bool IsNonWordChar(uint32_t code);
  static bool IsDash(uint32_t code);
  // At least U+0021, outside the C1 controls and not a Unicode space.
  static bool IsNonBlank(uint32_t code);
  // Below U+0020 or in U+007F-U+009F.
  static bool IsControl(uint32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }
  // Han, kana, Hangul, Yi and their compatibility and fullwidth forms.
  static bool IsCjk(uint32_t code);
  static bool IsHiragana(uint32_t code) { return code >= 0x3040 && code <= 0x309F; }
  static bool IsKatakana(uint32_t code) { return code >= 0x30A0 && code <= 0x30FF; }
  // Bullets, circled numbers and the geometric shapes used as list marks.
  static bool IsBullet(uint32_t code);
  // A word broken at a line's end: `dash` ends a line after the word
  // character `beforeDash`, and the next line goes on with the word
  // character `next`. The dash and the line break then go.
  static bool JoinsBrokenWord(uint32_t beforeDash, uint32_t dash, uint32_t next) {
    return IsDash(dash) && !IsNonWordChar(beforeDash) && !IsNonWordChar(next);
  }
};

}  // namespace content
