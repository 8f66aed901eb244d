#include "runtime/Dasher.h"

namespace runtime {

bool Dasher::GapsWithin(bool useSecond) const {
  const Fixed limit = useSecond ? secondTolerance : tolerance;
  const size_t step = dashes.size() % 2 == 1 ? 1 : 2;
  for (size_t i = step - 1; i < dashes.size(); i += step) {
    if (dashes[i] > limit) return false;
  }
  return true;
}

}  // namespace runtime
