#pragma once
// Range-checked integer conversions: a value that does not fit its target
// type throws (runtime, 1) rather than being truncated.
#include <cstdint>
#include <utility>

#include "runtime/ErrorTrap.h"

namespace runtime {

class LibraryContext;

struct CheckedCast {
  template <class To, class From>
  static To Convert(From value, LibraryContext* context = nullptr) {
    if (!std::in_range<To>(value)) ThrowError(context, ErrorRecord{kRuntimeDomain, kOverflow, 0});
    return static_cast<To>(value);
  }

  static int64_t Int32ToInt64(int32_t value, LibraryContext* context = nullptr) {
    return Convert<int64_t>(value, context);
  }
};

}  // namespace runtime
