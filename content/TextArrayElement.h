#pragma once
// One element of a recorded TJ array as handed to ShowTextArray: a tag and
// its payload. On this 64-bit build the payload is pointer-sized, so an
// element takes 16 bytes.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/ObjectValue.h"

namespace content {

struct TextArrayElement {
  // The tags are those of the operand values they came from: an integer or
  // real becomes an adjustment, a string a counted byte block.
  static constexpr uint32_t kAdjustment = static_cast<uint32_t>(runtime::ObjectTag::kReal);
  static constexpr uint32_t kString = static_cast<uint32_t>(runtime::ObjectTag::kString);

  uint32_t tag = kAdjustment;
  union {
    runtime::Fixed adjustment;
    // {length, bytes}, in the recording arena.
    const runtime::ByteString* string;
  } payload{0};

  bool IsString() const { return tag == kString; }
};

}  // namespace content
