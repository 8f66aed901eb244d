#include "runtime/CheckedSize.h"

#include "runtime/ErrorTrap.h"

namespace runtime {
namespace {

[[noreturn]] void Overflow(LibraryContext* context) {
  ThrowError(context, ErrorRecord{kRuntimeDomain, kOverflow, 0});
}

}  // namespace

uint32_t RoundUpSize4Checked(LibraryContext* context, uint32_t n) {
  // Everything below the limit rounds without wrapping.
  if (n >= 0xFFFFFFFCu) Overflow(context);
  return (n + 3) & ~uint32_t{3};
}

uint32_t RoundUpSize8Checked(LibraryContext* context, uint32_t n) {
  if (n > 0xFFFFFFF8u) Overflow(context);
  return (n + 7) & ~uint32_t{7};
}

uint32_t MultiplySizeChecked(LibraryContext* context, uint32_t a, uint32_t b) {
  if (a == 0) return 0;
  const uint64_t product = uint64_t{a} * b;
  if (product > 0xFFFFFFFFu) Overflow(context);
  return static_cast<uint32_t>(product);
}

uint32_t AddSizeChecked(LibraryContext* context, uint32_t a, uint32_t b) {
  const uint64_t sum = uint64_t{a} + b;
  if (sum > 0xFFFFFFFFu) Overflow(context);
  return static_cast<uint32_t>(sum);
}

}  // namespace runtime
