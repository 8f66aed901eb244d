#include "fonts/PsTokenizer.h"

#include <cstring>

#include "fonts/DecimalText.h"
#include "fonts/FontError.h"

namespace fonts {

namespace {

struct ByteClasses {
  uint8_t of[256] = {};
  constexpr ByteClasses() {
    for (int c : {0, 9, 10, 12, 13, 32}) of[c] |= PsTokenizer::kWhiteSpace;
    for (int c : {10, 13}) of[c] |= PsTokenizer::kLineEnd;
    for (int c : {'(', ')', '<', '>', '[', ']', '{', '}', '/', '%'}) of[c] |= PsTokenizer::kDelimiter;
    for (int c = '0'; c <= '9'; ++c) of[c] |= PsTokenizer::kNumberChar;
    for (int c : {'+', '-', '.'}) of[c] |= PsTokenizer::kNumberChar;
  }
};
constexpr ByteClasses kByteClasses;

bool IsPsWhite(int c) { return (PsTokenizer::ClassOf(c) & PsTokenizer::kWhiteSpace) != 0; }
bool IsPsNameChar(int c) {
  return c >= 0 && (PsTokenizer::ClassOf(c) & (PsTokenizer::kWhiteSpace | PsTokenizer::kDelimiter)) == 0;
}
bool IsPsNumberChar(int c) { return (PsTokenizer::ClassOf(c) & PsTokenizer::kNumberChar) != 0; }
bool IsPsDigit(int c) { return c >= '0' && c <= '9'; }
int HexValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

constexpr uint16_t kEexecKey = 55665;
constexpr uint16_t kCipherC1 = 52845;
constexpr uint16_t kCipherC2 = 22719;

}  // namespace

PsTokenizer::PsTokenizer(std::span<const uint8_t> data, runtime::ArenaAllocator& arena)
    : data_(data), arena_(arena) {
  capacity_ = 20;
  text_ = static_cast<char*>(arena_.Alloc(capacity_));
  text_[0] = '\0';
}

int PsTokenizer::RawByte() {
  if (position_ >= data_.size()) return -1;
  return data_[position_++];
}

int PsTokenizer::NextByte() {
  if (pushedCount_ > 0) return pushed_[--pushedCount_];
  if (!decrypting_) return RawByte();
  int cipher;
  if (!hex_) {
    cipher = RawByte();
    if (cipher < 0) return -1;
  } else {
    int high = -1;
    for (;;) {
      const int c = RawByte();
      if (c < 0) return -1;
      const int v = HexValue(c);
      if (v < 0) continue;
      if (high < 0) {
        high = v;
        continue;
      }
      cipher = high * 16 + v;
      break;
    }
  }
  const int plain = (cipher ^ (key_ >> 8)) & 0xFF;
  key_ = static_cast<uint16_t>((static_cast<uint32_t>(cipher) + key_) * kCipherC1 + kCipherC2);
  return plain;
}

void PsTokenizer::PushBack(int byte) {
  if (byte < 0) return;
  if (pushedCount_ >= sizeof(pushed_)) ThrowMalformedFont();
  pushed_[pushedCount_++] = static_cast<uint8_t>(byte);
}

int PsTokenizer::PeekByte() {
  if (pushedCount_ == 0) {
    const int b = NextByte();
    if (b < 0) return -1;
    PushBack(b);
  }
  return pushed_[pushedCount_ - 1];
}

uint8_t PsTokenizer::ClassOf(int byte) { return byte >= 0 && byte < 256 ? kByteClasses.of[byte] : 0; }

int PsTokenizer::SkipWhileClass(uint8_t mask) {
  for (;;) {
    const int c = PeekByte();
    if (c < 0 || (ClassOf(c) & mask) == 0) return c;
    NextByte();
  }
}

int PsTokenizer::SkipUntilClass(uint8_t mask) {
  for (;;) {
    const int c = PeekByte();
    if (c < 0 || (ClassOf(c) & mask) != 0) return c;
    NextByte();
  }
}

bool PsTokenizer::AtEnd() const { return pushedCount_ == 0 && position_ >= data_.size(); }

bool PsTokenizer::TextIs(const char* s) const { return std::strcmp(text_, s) == 0; }

void PsTokenizer::Append(int c) {
  if (length_ + 1 >= capacity_) {
    if (capacity_ >= kMaxTokenLength) ThrowMalformedFont();
    char* bigger = static_cast<char*>(arena_.Alloc(capacity_ * 2));
    std::memcpy(bigger, text_, length_);
    text_ = bigger;
    capacity_ *= 2;
  }
  text_[length_++] = static_cast<char>(c);
  text_[length_] = '\0';
}

void PsTokenizer::ScanWhile(bool (*accept)(int c)) {
  for (;;) {
    const int c = PeekByte();
    if (c < 0 || !accept(c)) return;
    NextByte();
    Append(c);
  }
}

void PsTokenizer::ScanGroup(int open, int close) {
  int depth = 0;
  bool escaped = false;
  for (;;) {
    const int c = NextByte();
    if (c < 0) return;
    Append(c);
    if (escaped) {
      escaped = false;
      continue;
    }
    if (open == '(' && c == '\\') {
      escaped = true;
    } else if (c == open) {
      ++depth;
    } else if (c == close) {
      if (--depth == 0) return;
    }
  }
}

PsTokenKind PsTokenizer::NextToken() {
  length_ = 0;
  text_[0] = '\0';
  for (;;) {
    const int c = SkipWhileClass(kWhiteSpace);
    if (c < 0) return kind_ = PsTokenKind::kEnd;
    if (c != '%') break;
    SkipUntilClass(kLineEnd);
  }
  const int c = NextByte();
  if (IsPsDigit(c) || c == '+' || c == '-' || c == '.') {
    bool number = IsPsDigit(c);
    if (!number) {
      const int next = PeekByte();
      number = IsPsDigit(next) || (c != '.' && next == '.');
    }
    Append(c);
    if (number) {
      ScanWhile(IsPsNumberChar);
      // A number glued to name characters (e.g. "1e5" or "2#10") is a name.
      const int after = PeekByte();
      if (IsPsNameChar(after)) {
        ScanWhile(IsPsNameChar);
        return kind_ = PsTokenKind::kExecutableName;
      }
      return kind_ = std::strchr(text_, '.') != nullptr ? PsTokenKind::kReal : PsTokenKind::kInteger;
    }
    ScanWhile(IsPsNameChar);
    return kind_ = PsTokenKind::kExecutableName;
  }
  switch (c) {
    case '(':
      PushBack(c);
      ScanGroup('(', ')');
      return kind_ = PsTokenKind::kString;
    case '/':
      ScanWhile(IsPsNameChar);
      return kind_ = PsTokenKind::kLiteralName;
    case '<': {
      const int next = PeekByte();
      if (next == '<') {
        NextByte();
        Append('<');
        Append('<');
        return kind_ = PsTokenKind::kDictStart;
      }
      PushBack(c);
      ScanGroup('<', '>');
      return kind_ = next == '~' ? PsTokenKind::kAscii85String : PsTokenKind::kHexString;
    }
    case '[':
      PushBack(c);
      ScanGroup('[', ']');
      return kind_ = PsTokenKind::kArray;
    case '{':
      PushBack(c);
      ScanGroup('{', '}');
      return kind_ = PsTokenKind::kProcedure;
    default:
      break;
  }
  Append(c);
  if (IsPsNameChar(c)) ScanWhile(IsPsNameChar);
  return kind_ = PsTokenKind::kExecutableName;
}

void PsTokenizer::StartEexec() {
  // The separator after "eexec" (and the LF of a CR LF) is not data.
  int c = NextByte();
  if (c == '\r' && PeekByte() == '\n') NextByte();
  // Bytes peeked ahead were read raw: give them back to the stream.
  position_ -= pushedCount_;
  pushedCount_ = 0;
  bool binary = false;
  for (size_t i = 0; i < 4 && position_ + i < data_.size(); ++i) {
    const int b = data_[position_ + i];
    if (HexValue(b) < 0 && !IsPsWhite(b)) binary = true;
  }
  decrypting_ = true;
  hex_ = !binary;
  key_ = kEexecKey;
  for (int i = 0; i < 4; ++i) NextByte();
}

int32_t PsTokenizer::TokenToFixed() const {
  if (kind_ == PsTokenKind::kInteger) {
    const int32_t v = DecimalToInt(text_);
    if (v > 32767 || v < -32768) return v < 0 ? runtime::kFixedMin : runtime::kFixedMax;
    return static_cast<int32_t>(static_cast<uint32_t>(v) << 16);
  }
  if (kind_ == PsTokenKind::kReal) return DecimalToFixed(text_);
  ThrowMalformedFont();
}

}  // namespace fonts
