#pragma once
// Helpers for zero-terminated UTF-16 strings.
#include <cstddef>
#include <cstdint>

#include "runtime/LibraryContext.h"

namespace runtime {

// Length in 16-bit units; 0 for null.
size_t WideStrLen(const char16_t* text);
// Compares two texts code unit by code unit: -1, 0 or 1. A null text equals
// the empty text, and the empty text sorts before any other.
int32_t WideStrCompare(const char16_t* a, const char16_t* b);
// Writes `value` in decimal into `buffer` (capacity in units, terminator
// included), cutting digits that do not fit; returns the terminator's
// address, or `buffer` when the capacity is 0.
char16_t* IntToWideString(int32_t value, char16_t* buffer, size_t capacity);

// A growable, zero-terminated UTF-16 buffer in the context's memory, used
// to build resource file names from byte names.
class WideString {
 public:
  explicit WideString(LibraryContext* context) : context_(context) {}
  ~WideString();
  WideString(const WideString&) = delete;
  WideString& operator=(const WideString&) = delete;

  // Makes room for `chars` units (terminator included), keeping what fits;
  // (runtime, 0) when memory runs out, the old buffer then left as it was.
  void Reserve(uint32_t chars);
  // Appends `name`, then "." and `suffix` when a suffix is given, each byte
  // widened, and the terminator; grows the buffer as needed.
  void AppendJoined(const char* name, const char* suffix);

  // Units written, the terminator included (0 before the first append).
  uint32_t Count() const { return count_; }
  uint32_t CapacityBytes() const { return capacityBytes_; }
  const char16_t* Text() const { return buffer_ != nullptr ? buffer_ : u""; }

 private:
  LibraryContext* context_;
  uint32_t count_ = 0;
  uint32_t capacityBytes_ = 0;
  char16_t* buffer_ = nullptr;
};

}  // namespace runtime
