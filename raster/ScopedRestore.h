#pragma once
// Stack records that set part of an object for the length of a scope and put
// the old value back when the scope ends or an error unwinds past it: the
// painter's matrix, five-word and two-word state.
#include <cstdint>

#include "runtime/Matrix.h"
#include "runtime/ScopeGuards.h"

namespace raster {

template <class T>
class ScopedRestore : public runtime::RestoreGuard<T> {
 public:
  // Saves *place, then writes `value` into it.
  ScopedRestore(runtime::LibraryContext* context, T* place, const T& value)
      : runtime::RestoreGuard<T>(context, place) {
    *place = value;
  }
};

struct FiveWords {
  int32_t words[5];
};
struct TwoWords {
  int32_t words[2];
};

using ScopedRestore24 = ScopedRestore<runtime::Matrix>;
using ScopedRestore20 = ScopedRestore<FiveWords>;
using ScopedRestore8 = ScopedRestore<TwoWords>;

}  // namespace raster
