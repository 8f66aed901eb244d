#include "pdf/ArrayReaders.h"

#include <algorithm>

#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace pdf {
namespace {

// The first `count` elements as numbers; further elements are ignored.
void ReadNumbers(const runtime::ObjectHandle& array, runtime::Fixed* out, uint32_t count) {
  if (runtime::Array::Count(array) < count) runtime::ThrowRuntime(runtime::kMalformed);
  for (uint32_t i = 0; i < count; ++i) out[i] = runtime::Array::Get(array, i)->AsNumber();
}

}  // namespace

runtime::Rect ReadRectArray(const runtime::ObjectHandle& array) {
  runtime::Fixed e[4];
  ReadNumbers(array, e, 4);
  return runtime::Rect{std::min(e[0], e[2]), std::min(e[1], e[3]), std::max(e[0], e[2]),
                       std::max(e[1], e[3])};
}

runtime::Matrix ReadMatrixArray(const runtime::ObjectHandle& array) {
  runtime::Fixed e[6];
  ReadNumbers(array, e, 6);
  return runtime::Matrix{e[0], e[1], e[2], e[3], e[4], e[5]};
}

}  // namespace pdf
