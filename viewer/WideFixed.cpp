#include "viewer/WideFixed.h"

#include "runtime/Fixed.h"

namespace viewer {

WideFixed WideFixed::Normalize(WideFixed v) {
  // Floor division: a negative fraction borrows from the whole part.
  int64_t carry = v.fraction / 65536;
  int32_t rest = v.fraction % 65536;
  if (rest < 0) {
    rest += 65536;
    carry -= 1;
  }
  return {runtime::Int64::AddSaturating(v.whole, carry), rest};
}

int64_t WideFixed::Round(WideFixed v) {
  v = Normalize(v);
  return v.fraction >= 32769 ? runtime::Int64::AddSaturating(v.whole, 1) : v.whole;
}

int64_t WideFixed::Ceil(WideFixed v) {
  v = Normalize(v);
  return v.fraction > 0 ? runtime::Int64::AddSaturating(v.whole, 1) : v.whole;
}

}  // namespace viewer
