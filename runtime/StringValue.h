#pragma once
// Text taken out of PDF string and name values for code that wants a
// zero-terminated C string (file names, font names, registry keys).
#include "runtime/ObjectValue.h"
#include "runtime/OwnedBuffer.h"

namespace runtime {

class StringValue {
 public:
  // Fills `buffer` with the bytes of a string or name up to its first zero
  // byte, and a terminating zero; (runtime, 2) for any other value.
  static void CopyToCString(const ObjectValue& value, OwnedBuffer& buffer);
};

}  // namespace runtime
