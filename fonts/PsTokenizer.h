#pragma once
// The tokenizer of Type 1 font programs: PostScript tokens from the clear
// text and from the eexec-encrypted part (binary or hexadecimal), read byte
// by byte through a small push-back buffer. It runs no PostScript.
#include <cstdint>
#include <span>

#include "runtime/ArenaAllocator.h"

namespace fonts {

enum class PsTokenKind : int {
  kInteger = 0,
  kReal = 1,
  kLiteralName = 2,
  kString = 3,
  kHexString = 4,
  kAscii85String = 5,
  kDictStart = 6,
  kArray = 7,
  kProcedure = 8,
  kExecutableName = 9,
  kEnd = 10,
};

class PsTokenizer {
 public:
  // Tokens longer than this are malformed (no real program has them).
  static constexpr uint32_t kMaxTokenLength = 1 << 20;

  PsTokenizer(std::span<const uint8_t> data, runtime::ArenaAllocator& arena);

  PsTokenKind NextToken();
  PsTokenKind Kind() const { return kind_; }
  // The token's text, zero-terminated (a literal name without its "/").
  const char* Text() const { return text_; }
  bool TextIs(const char* s) const;

  // The next program byte (push-back first, then raw or decrypted); -1 at
  // the end.
  int NextByte();
  // The next program byte without consuming it, read and decrypted as by
  // NextByte when nothing is pushed back; -1 at the end.
  int PeekByte();
  bool AtEnd() const;

  // Byte classes, as bits of the class table.
  static constexpr uint8_t kWhiteSpace = 1;  // NUL, TAB, LF, FF, CR, space
  static constexpr uint8_t kLineEnd = 2;     // LF, CR
  static constexpr uint8_t kDelimiter = 4;   // ( ) < > [ ] { } / %
  static constexpr uint8_t kNumberChar = 8;  // 0-9 + - .
  static uint8_t ClassOf(int byte);
  // Consumes bytes while their class has a bit of `mask`; returns the
  // byte it stopped on, left unconsumed, or -1 when the data ends.
  int SkipWhileClass(uint8_t mask);
  // Consumes bytes up to the first whose class has a bit of `mask`;
  // returns that byte, left unconsumed, or -1 when the data ends.
  int SkipUntilClass(uint8_t mask);

  // Starts eexec decryption after the "eexec" token; stops it.
  void StartEexec();
  void StopEexec() { decrypting_ = false; }

  // The token converted to Fixed: integers shifted, reals by the decimal
  // rules; other kinds are malformed.
  int32_t TokenToFixed() const;

 private:
  int RawByte();
  void PushBack(int byte);
  void Append(int c);
  void ScanWhile(bool (*accept)(int c));
  void ScanGroup(int open, int close);

  std::span<const uint8_t> data_;
  size_t position_ = 0;
  runtime::ArenaAllocator& arena_;
  uint8_t pushed_[8] = {};
  uint32_t pushedCount_ = 0;
  bool decrypting_ = false;
  bool hex_ = false;
  uint16_t key_ = 0;
  PsTokenKind kind_ = PsTokenKind::kEnd;
  char* text_ = nullptr;
  uint32_t length_ = 0;
  uint32_t capacity_ = 0;
};

}  // namespace fonts
