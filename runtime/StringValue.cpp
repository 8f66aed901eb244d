#include "runtime/StringValue.h"

#include <cstring>

#include "runtime/ErrorTrap.h"

namespace runtime {

void StringValue::CopyToCString(const ObjectValue& value, OwnedBuffer& buffer) {
  const ByteString& text =
      value.tag == ObjectTag::kName ? value.AsName() : value.AsString();
  // A string may hold zero bytes; a C string ends at the first.
  const void* zero = std::memchr(text.Bytes(), 0, text.length);
  const uint32_t length =
      zero != nullptr ? static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - text.Bytes())
                      : text.length;
  buffer.Resize(length + 1);
  if (length != 0) std::memcpy(buffer.Data(), text.Bytes(), length);
  buffer[length] = 0;
}

}  // namespace runtime
