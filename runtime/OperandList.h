#pragma once
// A recorded stream of operands: bytes, 32-bit numbers and short strings
// written one after the other into a chunked byte list and read back in
// order through a cursor. Values may straddle chunk boundaries; reading past
// what was written throws (runtime, 2).
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/ArenaAllocator.h"
#include "runtime/ChunkedBytes.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace runtime {

class OperandList {
 public:
  using Cursor = ChunkedBytes::Iterator;

  // Strings are at most this long: their length is stored in one byte.
  static constexpr uint32_t kMaxStringLength = 255;

  OperandList(LibraryContext* context, ArenaAllocator* arena, uint32_t bytesPerChunk)
      : bytes_(context, arena, bytesPerChunk) {}

  void PushByte(uint8_t value) { bytes_.Push(value); }
  void PushNumber(int32_t value);
  // A count byte then the bytes; longer strings throw (runtime, 1).
  void PushString(std::string_view text);

  Cursor Begin() const { return bytes_.Begin(); }
  uint8_t PopByte(Cursor& at) const { return bytes_.Read(at); }
  int32_t PopNumber(Cursor& at) const;
  int32_t PopInt(Cursor& at) const { return PopNumber(at); }
  // Successive numbers, as six for a matrix or four for a rectangle.
  void PopNumbers(Cursor& at, std::span<int32_t> out) const;
  Matrix PopMatrix(Cursor& at) const;
  Rect PopRect(Cursor& at) const;
  // Copies the string into n + 1 bytes (rounded up to 8) of `scratch`,
  // terminated by a zero byte; `length` receives n.
  const char* PopString(Cursor& at, ArenaAllocator& scratch, uint32_t* length = nullptr) const;

  uint32_t ByteCount() const { return bytes_.Count(); }
  ChunkedBytes& Bytes() { return bytes_; }

 private:
  ChunkedBytes bytes_;
};

}  // namespace runtime
