#include "runtime/WideString.h"

#include <cstring>

#include "runtime/CheckedSize.h"
#include "runtime/MemoryContext.h"

namespace runtime {

size_t WideStrLen(const char16_t* text) {
  if (text == nullptr) return 0;
  size_t length = 0;
  while (text[length] != u'\0') ++length;
  return length;
}

int32_t WideStrCompare(const char16_t* a, const char16_t* b) {
  if (a == nullptr) a = u"";
  if (b == nullptr) b = u"";
  for (;; ++a, ++b) {
    if (*a != *b) return *a < *b ? -1 : 1;
    if (*a == u'\0') return 0;
  }
}

char16_t* IntToWideString(int32_t value, char16_t* buffer, size_t capacity) {
  if (capacity == 0) return buffer;
  char16_t digits[12];
  size_t count = 0;
  // Widen first: the most negative value has no positive 32-bit counterpart.
  int64_t magnitude = value;
  if (magnitude < 0) magnitude = -magnitude;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[count++] = u'-';
  char16_t* out = buffer;
  char16_t* const last = buffer + capacity - 1;
  while (count > 0 && out < last) *out++ = digits[--count];
  *out = u'\0';
  return out;
}

}  // namespace runtime

namespace runtime {

WideString::~WideString() {
  if (buffer_ != nullptr) (context_ != nullptr ? context_ : GetDefaultContext())->memory.Free(buffer_);
}

void WideString::Reserve(uint32_t chars) {
  const uint32_t bytes = MultiplySizeChecked(context_, chars, 2);
  if (bytes == capacityBytes_) return;
  auto* fresh = static_cast<char16_t*>(AllocOrThrow(context_, bytes));
  const uint32_t keep = bytes < capacityBytes_ ? bytes : capacityBytes_;
  if (keep != 0) std::memcpy(fresh, buffer_, keep);
  if (buffer_ != nullptr) (context_ != nullptr ? context_ : GetDefaultContext())->memory.Free(buffer_);
  buffer_ = fresh;
  capacityBytes_ = bytes;
  if (count_ > chars) count_ = chars;
}

void WideString::AppendJoined(const char* name, const char* suffix) {
  const uint32_t nameLength = static_cast<uint32_t>(std::strlen(name != nullptr ? name : ""));
  const uint32_t suffixLength =
      suffix != nullptr ? AddSizeChecked(context_, static_cast<uint32_t>(std::strlen(suffix)), 1) : 0;
  // The old terminator is overwritten; the new text and its terminator
  // must fit before a single unit is written.
  const uint32_t kept = count_ != 0 ? count_ - 1 : 0;
  const uint32_t needed =
      AddSizeChecked(context_, AddSizeChecked(context_, kept, nameLength), suffixLength + 1);
  if (MultiplySizeChecked(context_, needed, 2) > capacityBytes_) Reserve(needed);
  char16_t* out = buffer_ + kept;
  for (uint32_t i = 0; i < nameLength; ++i) *out++ = static_cast<uint8_t>(name[i]);
  if (suffix != nullptr) {
    *out++ = u'.';
    for (const char* s = suffix; *s != '\0'; ++s) *out++ = static_cast<uint8_t>(*s);
  }
  *out = u'\0';
  count_ = needed;
}

}  // namespace runtime
