#pragma once
// The shell's string: UTF-16 characters with a length, always followed by a
// zero so that the characters can go straight to platform calls. The holder
// owns the characters. Operations that allocate return false when memory runs
// out and then leave the string empty; the shell never throws into the viewer.
#include <cstdint>

namespace shell {

class WString {
 public:
  WString() = default;
  ~WString();
  WString(const WString&) = delete;
  WString& operator=(const WString&) = delete;
  WString(WString&& other) noexcept;
  WString& operator=(WString&& other) noexcept;

  // The characters, zero-terminated; never null.
  const char16_t* Chars() const { return characters ? characters : u""; }
  uint32_t Length() const { return length; }
  bool IsEmpty() const { return length == 0; }

  // Copies `count` characters and terminates them.
  bool Assign(const char16_t* chars, uint32_t count);
  // Copies a zero-terminated text; null means the empty string.
  bool AssignCString(const char16_t* text);
  // Copies another string; copying a string onto itself changes nothing.
  bool Copy(const WString& other);
  // Replaces the contents with a zeroed buffer of `count` characters plus the
  // terminator, for a platform call to fill; null when memory runs out.
  char16_t* Resize(uint32_t count);
  // After a platform call filled the buffer: the length ends at the first zero.
  void TrimToTerminator();
  bool Append(const char16_t* chars, uint32_t count);
  bool Append(const WString& other) { return Append(other.Chars(), other.Length()); }
  // Same length and the same code units (so case matters).
  bool Equals(const WString& other) const;
  bool EqualsCString(const char16_t* text) const;
  // Removes every occurrence of `character`.
  void RemoveChar(char16_t character);
  // Position of the first / last occurrence; -1 when absent.
  int32_t IndexOf(char16_t character) const;
  int32_t LastIndexOf(char16_t character) const;
  // `count` characters from `start`: a negative start counts as 0 and the
  // count stops at the end of the string. `out` may be this string.
  bool Substring(int32_t start, int32_t count, WString& out) const;
  // a-z to A-Z; every other character is left alone.
  void UpperAscii();
  void Clear();

 private:
  // Takes ownership of a buffer holding `count` characters and a terminator.
  void Adopt(char16_t* buffer, uint32_t count);

  char16_t* characters = nullptr;
  uint32_t length = 0;
};

}  // namespace shell
