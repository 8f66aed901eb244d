#pragma once
// Character-class data of text extraction and search, generated at build
// time by resources/unicode/make_char_tables.py from Debian's unicode-data
// (see resources/unicode/README.md).
#include <cstdint>

namespace resources {

// Word characters: sorted, non-overlapping inclusive ranges of the Basic
// Multilingual Plane (letters, marks, decimal digits, letter numbers and
// the apostrophe; no ideographs and no hiragana).
extern const uint32_t kWordCharRangeCount;
extern const uint16_t kWordCharRanges[][2];

// The fullwidth katakana of U+FF66-U+FF6F, then of U+FF71-U+FF9D.
inline constexpr uint32_t kHalfwidthKanaCount = 10 + 45;
extern const uint16_t kHalfwidthKanaFold[kHalfwidthKanaCount];

}  // namespace resources
