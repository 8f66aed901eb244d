#pragma once
// Size arithmetic on values that may come from a file: overflow becomes
// (runtime, 1) instead of a wrapped, too small size.
#include <cstdint>

namespace runtime {

class LibraryContext;

// n rounded up to a multiple of 4; n >= 0xFFFFFFFC throws (runtime, 1), as
// does any size that would round past 32 bits.
uint32_t RoundUpSize4Checked(LibraryContext* context, uint32_t n);
// n rounded up to a multiple of 8, checked the same way.
uint32_t RoundUpSize8Checked(LibraryContext* context, uint32_t n);
// a * b; 0 when a is 0; a product beyond 32 bits throws (runtime, 1).
uint32_t MultiplySizeChecked(LibraryContext* context, uint32_t a, uint32_t b);
// a + b; a sum beyond 32 bits throws (runtime, 1).
uint32_t AddSizeChecked(LibraryContext* context, uint32_t a, uint32_t b);

}  // namespace runtime
