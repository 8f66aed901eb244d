#include "runtime/WideString.h"

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
