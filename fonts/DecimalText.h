#pragma once
// Decimal text to numbers, shared by the CFF DICT real operand and the
// Type 1 program's number text: one fraction table, T[k] = 2^32 / 10^k
// truncated, the fraction f of k digits contributing (f × T[k]) >> 16, so
// that 0.5 becomes 32767.
#include <cstdint>

#include "runtime/Fixed.h"

namespace fonts {

using runtime::Fixed;

// T[k] for k = 0..5 fraction digits (T[0] unused: no fraction adds 0).
inline constexpr uint32_t kDecimalFractionTable[6] = {0, 429496729, 42949672, 4294967, 429496,
                                                     42949};

// The Fixed of an integer part and a fraction of k digits, saturating at
// the Fixed range instead of wrapping.
Fixed DecimalFixed(int64_t integerPart, uint32_t fraction, uint32_t k, bool negative);

// Reads a decimal integer from zero-terminated text: leading characters
// that are not digits or signs are skipped; the first non-digit after the
// number ends it. Saturates at the 32-bit range.
int32_t DecimalToInt(const char* text, const char** end = nullptr);
// The same with a fraction of at most five digits counted (later ones are
// ignored, no rounding), saturating at the Fixed range.
Fixed DecimalToFixed(const char* text, const char** end = nullptr);
// The same with every fraction digit counted, rounded to the nearest
// Fixed: font matrices such as 1/2048 (0.000488281) need more than five
// digits. Values within 1% of 0.001 keep the conventional 65, the
// standard font matrix (programs write it as 0.000999999 too).
Fixed DecimalToFixedPrecise(const char* text, const char** end = nullptr);
// Reads up to n numbers from a bracketed array text "[...]" or "{...}";
// returns the count read. (runtime, 2) when the text opens otherwise.
uint32_t ReadNumberArray(const char* text, Fixed* out, uint32_t n);

}  // namespace fonts
