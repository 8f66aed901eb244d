#include "pdf/Lexer.h"

#include <cstring>

#include "pdf/PdfCharClass.h"
#include "runtime/ErrorTrap.h"

namespace pdf {
namespace {

using runtime::ObjectValue;

// The clamped values an overflowed integer reads as; they never change, so
// every overflowed token can share them.
constexpr int32_t kOverflowHigh = 0x7FFFFFFF;
constexpr int32_t kOverflowLow = static_cast<int32_t>(0x80000000u);
const int32_t kOverflowCells[2] = {kOverflowHigh, kOverflowLow};

// floor(2^32 / 10^k) for k = 1..5: a fraction of k digits read as an integer
// d is d x multiplier >> 16 in 16.16.
constexpr uint32_t kFractionMultipliers[6] = {0, 0x19999999, 0x028F5C28, 0x00418937,
                                              0x00068DB8, 0x0000A7C5};
// Fraction digits beyond this many do not change a 16.16 value.
constexpr uint32_t kFractionDigits = 5;
// The largest integer part a 16.16 real can hold.
constexpr int32_t kLargestRealInteger = 32767;
constexpr runtime::Fixed kRealHigh = 0x7FFFFFFF;
constexpr runtime::Fixed kRealLow = static_cast<runtime::Fixed>(0x80000001u);
// Enough significant digits to tell whether a run overflows 32 bits.
constexpr uint32_t kKeptDigits = 11;

bool AtRegular(streams::DataStream& stream) {
  return stream.Fill(false) && !IsTokenEnd(*stream.Cursor());
}

}  // namespace

bool FitsInt32Decimal(const uint8_t* digits, uint32_t length) {
  if (length < 10) return true;
  if (length > 10) return false;
  return std::memcmp(digits, "2147483647", 10) <= 0;
}

ObjectValue Lexer::DecimalToNumber(bool negative, const uint8_t* digits, uint32_t length,
                                   bool isReal, const uint8_t* fraction,
                                   uint32_t fractionLength) {
  if (!FitsInt32Decimal(digits, length)) {
    return ObjectValue::Overflowed(&kOverflowCells[negative ? 1 : 0]);
  }
  int64_t integer = 0;
  for (uint32_t i = 0; i < length; ++i) integer = integer * 10 + (digits[i] - '0');
  if (!isReal) {
    return ObjectValue::Integer(static_cast<int32_t>(negative ? -integer : integer));
  }
  if (integer > kLargestRealInteger) return ObjectValue::Real(negative ? kRealLow : kRealHigh);
  const uint32_t used = fractionLength < kFractionDigits ? fractionLength : kFractionDigits;
  int64_t value = integer << 16;
  if (used > 0) {
    int64_t decimal = 0;
    for (uint32_t i = 0; i < used; ++i) decimal = decimal * 10 + (fraction[i] - '0');
    value += (decimal * kFractionMultipliers[used]) >> 16;
  }
  return ObjectValue::Real(static_cast<runtime::Fixed>(negative ? -value : value));
}

ObjectValue Lexer::ParseNumberToken(streams::DataStream& stream) {
  bool negative = false;
  if (stream.Fill(false) && (*stream.Cursor() == '+' || *stream.Cursor() == '-')) {
    negative = *stream.Cursor() == '-';
    stream.Advance(1);
  }
  uint8_t digits[kKeptDigits + 1];
  uint32_t length = 0;
  bool sawDigit = false;
  while (stream.Fill(false) && IsDecimal(*stream.Cursor())) {
    const uint8_t digit = *stream.Cursor();
    stream.Advance(1);
    sawDigit = true;
    if (length == 0 && digit == '0') continue;  // leading zeros do not count
    if (length < kKeptDigits) digits[length] = digit;
    if (length <= kKeptDigits) ++length;
  }
  if (length == 0 && sawDigit) digits[length++] = '0';

  bool isReal = false;
  uint8_t fraction[kFractionDigits];
  uint32_t fractionLength = 0;
  if (FitsInt32Decimal(digits, length) && stream.Fill(false) && *stream.Cursor() == '.') {
    isReal = true;
    stream.Advance(1);
    while (stream.Fill(false) && IsDecimal(*stream.Cursor())) {
      if (fractionLength < kFractionDigits) fraction[fractionLength++] = *stream.Cursor();
      stream.Advance(1);
    }
  }
  const ObjectValue value =
      DecimalToNumber(negative, digits, length, isReal, fraction, fractionLength);
  SkipRegular(stream);
  return value;
}

bool Lexer::SkipWhiteSpace(streams::DataStream& stream) {
  while (stream.Fill(false)) {
    if (!IsWhiteSpace(*stream.Cursor())) return true;
    stream.Advance(1);
  }
  return false;
}

bool Lexer::SkipWhiteSpaceAndComments(streams::DataStream& stream) {
  while (SkipWhiteSpace(stream)) {
    if (*stream.Cursor() != '%') return true;
    while (stream.Fill(false) && (kPdfCharClass[*stream.Cursor()] & kEndOfLine) == 0) {
      stream.Advance(1);
    }
  }
  return false;
}

void Lexer::SkipRegular(streams::DataStream& stream) {
  while (AtRegular(stream)) stream.Advance(1);
}

int32_t Lexer::ReadUnsigned(streams::DataStream& stream) {
  if (!stream.Fill(false) || !IsDecimal(*stream.Cursor())) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  return ParseNumberToken(stream).AsInteger();
}

bool Lexer::TakeKeyword(streams::DataStream& stream, const char* keyword) {
  const uint32_t length = static_cast<uint32_t>(std::strlen(keyword));
  const uint32_t available = stream.EnsureContiguous(length + 1);
  if (available < length || std::memcmp(stream.Cursor(), keyword, length) != 0) return false;
  if (available > length && !IsTokenEnd(stream.Cursor()[length])) return false;
  stream.Advance(length);
  return true;
}

}  // namespace pdf
