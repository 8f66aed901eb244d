#include "runtime/OperandList.h"

#include "runtime/ErrorTrap.h"

namespace runtime {

void OperandList::PushNumber(int32_t value) {
  bytes_.EnsureRoom(4);
  const auto bits = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) bytes_.Push(static_cast<uint8_t>(bits >> shift));
}

void OperandList::PushString(std::string_view text) {
  if (text.size() > kMaxStringLength) ThrowRuntime(kOverflow);
  bytes_.EnsureRoom(static_cast<uint32_t>(text.size()) + 1);
  bytes_.Push(static_cast<uint8_t>(text.size()));
  for (char c : text) bytes_.Push(static_cast<uint8_t>(c));
}

int32_t OperandList::PopNumber(Cursor& at) const {
  uint32_t bits = 0;
  for (int shift = 0; shift < 32; shift += 8) bits |= uint32_t{bytes_.Read(at)} << shift;
  return static_cast<int32_t>(bits);
}

void OperandList::PopNumbers(Cursor& at, std::span<int32_t> out) const {
  for (int32_t& value : out) value = PopNumber(at);
}

Matrix OperandList::PopMatrix(Cursor& at) const {
  Matrix matrix;
  for (Fixed* value : {&matrix.a, &matrix.b, &matrix.c, &matrix.d, &matrix.e, &matrix.f}) {
    *value = PopNumber(at);
  }
  return matrix;
}

Rect OperandList::PopRect(Cursor& at) const {
  Rect rect;
  for (Fixed* value : {&rect.x0, &rect.y0, &rect.x1, &rect.y1}) *value = PopNumber(at);
  return rect;
}

const char* OperandList::PopString(Cursor& at, ArenaAllocator& scratch, uint32_t* length) const {
  const uint32_t n = bytes_.Read(at);
  // Check the whole string is there before taking arena space for it.
  if (ChunkedBytes::Distance(at, bytes_.End()) < n) ThrowRuntime(kMalformed);
  auto* text = static_cast<char*>(scratch.Alloc((n + 1 + 7) & ~7u));
  for (uint32_t i = 0; i < n; ++i) text[i] = static_cast<char>(bytes_.Read(at));
  text[n] = '\0';
  if (length != nullptr) *length = n;
  return text;
}

}  // namespace runtime
