#pragma once
// Page numbers as users type them: decimal digits of any of the scripts
// the device's keyboards offer (ASCII, Arabic-Indic, Devanagari, Thai,
// full-width, ...).
#include <cstdint>

namespace viewer {

// The value of the leading digits of `text`, stopping at the first other
// character; 0 for a null or empty text or one that does not start with a
// digit. A value past UINT32_MAX stays at UINT32_MAX, so that a long run of
// digits reads as a page beyond any document.
uint32_t ParseWideDecimal(const char16_t* text);

// The digit value of `unit` (0..9), or -1 when it is no decimal digit.
int32_t WideDigitValue(char16_t unit);

}  // namespace viewer
