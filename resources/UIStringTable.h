#pragma once
// The user interface's texts: one row per UI language, one column per text.
// The rows are generated from resources/strings/*.txt at build time.
#include <cstdint>

namespace resources {

inline constexpr uint32_t kUILanguageCount = 26;
inline constexpr uint32_t kUIStringCount = 85;

// Zero-terminated UTF-16 texts, [row][column].
extern const char16_t* const kUIStringTable[kUILanguageCount][kUIStringCount];

// The text of one column in one row; the empty text outside the table.
const char16_t* GetUIString(uint32_t row, uint32_t column);

}  // namespace resources
