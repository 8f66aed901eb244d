#include "shell/WString.h"

#include <cstring>
#include <utility>

#include "platform/Heap.h"
#include "runtime/WideString.h"

namespace shell {
namespace {

// Longest string the shell keeps; far beyond any path or label, and small
// enough that the byte size of the buffer never overflows.
constexpr uint32_t kMaxLength = 0x3FFFFFF0;

char16_t* AllocateUnits(uint32_t count) {
  if (count > kMaxLength) return nullptr;
  const size_t bytes = (size_t{count} + 1) * sizeof(char16_t);
  return static_cast<char16_t*>(
      platform::HeapAlloc(platform::GetProcessHeap(), 0, bytes));
}

void FreeUnits(char16_t* units) {
  if (units) platform::HeapFree(platform::GetProcessHeap(), 0, units);
}

}  // namespace

WString::~WString() { FreeUnits(characters); }

WString::WString(WString&& other) noexcept
    : characters(std::exchange(other.characters, nullptr)),
      length(std::exchange(other.length, 0)) {}

WString& WString::operator=(WString&& other) noexcept {
  if (this != &other) {
    FreeUnits(characters);
    characters = std::exchange(other.characters, nullptr);
    length = std::exchange(other.length, 0);
  }
  return *this;
}

void WString::Adopt(char16_t* buffer, uint32_t count) {
  FreeUnits(characters);
  characters = buffer;
  length = count;
}

void WString::Clear() { Adopt(nullptr, 0); }

bool WString::Assign(const char16_t* chars, uint32_t count) {
  // The new buffer is filled before the old one goes, so that a source
  // inside this string stays readable.
  char16_t* buffer = AllocateUnits(count);
  if (!buffer) {
    Clear();
    return false;
  }
  if (count) std::memcpy(buffer, chars, count * sizeof(char16_t));
  buffer[count] = 0;
  Adopt(buffer, count);
  return true;
}

bool WString::AssignCString(const char16_t* text) {
  const size_t count = runtime::WideStrLen(text);
  if (count > kMaxLength) {
    Clear();
    return false;
  }
  return Assign(text ? text : u"", static_cast<uint32_t>(count));
}

bool WString::Copy(const WString& other) {
  if (&other == this) return true;
  return Assign(other.Chars(), other.length);
}

char16_t* WString::Resize(uint32_t count) {
  char16_t* buffer = AllocateUnits(count);
  if (!buffer) {
    Clear();
    return nullptr;
  }
  // Zeroed so that a platform call that fills less leaves a terminated text.
  std::memset(buffer, 0, (size_t{count} + 1) * sizeof(char16_t));
  Adopt(buffer, count);
  return buffer;
}

void WString::TrimToTerminator() {
  uint32_t end = 0;
  while (end < length && characters[end] != 0) ++end;
  length = end;
}

bool WString::Append(const char16_t* chars, uint32_t count) {
  if (count == 0) return true;
  if (count > kMaxLength - length) {
    Clear();
    return false;
  }
  char16_t* buffer = AllocateUnits(length + count);
  if (!buffer) {
    Clear();
    return false;
  }
  if (length) std::memcpy(buffer, characters, length * sizeof(char16_t));
  std::memcpy(buffer + length, chars, count * sizeof(char16_t));
  buffer[length + count] = 0;
  Adopt(buffer, length + count);
  return true;
}

bool WString::Equals(const WString& other) const {
  return length == other.length &&
         (length == 0 ||
          std::memcmp(characters, other.characters, length * sizeof(char16_t)) == 0);
}

bool WString::EqualsCString(const char16_t* text) const {
  return runtime::WideStrLen(text) == length &&
         (length == 0 || std::memcmp(characters, text, length * sizeof(char16_t)) == 0);
}

void WString::RemoveChar(char16_t character) {
  uint32_t kept = 0;
  for (uint32_t i = 0; i < length; ++i) {
    if (characters[i] != character) characters[kept++] = characters[i];
  }
  if (characters) characters[kept] = 0;
  length = kept;
}

int32_t WString::IndexOf(char16_t character) const {
  for (uint32_t i = 0; i < length; ++i) {
    if (characters[i] == character) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t WString::LastIndexOf(char16_t character) const {
  for (uint32_t i = length; i > 0; --i) {
    if (characters[i - 1] == character) return static_cast<int32_t>(i - 1);
  }
  return -1;
}

bool WString::Substring(int32_t start, int32_t count, WString& out) const {
  const uint32_t first = start < 0 ? 0 : static_cast<uint32_t>(start);
  if (first >= length || count <= 0) return out.Assign(u"", 0);
  const uint32_t taken =
      static_cast<uint32_t>(count) < length - first ? static_cast<uint32_t>(count)
                                                    : length - first;
  // Assign copies before it frees, so `out` may be this string.
  return out.Assign(characters + first, taken);
}

void WString::UpperAscii() {
  for (uint32_t i = 0; i < length; ++i) {
    if (characters[i] >= u'a' && characters[i] <= u'z') {
      characters[i] = static_cast<char16_t>(characters[i] - (u'a' - u'A'));
    }
  }
}

}  // namespace shell
