#pragma once
// Helpers for zero-terminated UTF-16 strings.
#include <cstddef>
#include <cstdint>

namespace runtime {

// Length in 16-bit units; 0 for null.
size_t WideStrLen(const char16_t* text);
// Compares two texts code unit by code unit: -1, 0 or 1. A null text equals
// the empty text, and the empty text sorts before any other.
int32_t WideStrCompare(const char16_t* a, const char16_t* b);
// Writes `value` in decimal into `buffer` (capacity in units, terminator
// included), cutting digits that do not fit; returns the terminator's
// address, or `buffer` when the capacity is 0.
char16_t* IntToWideString(int32_t value, char16_t* buffer, size_t capacity);

}  // namespace runtime
