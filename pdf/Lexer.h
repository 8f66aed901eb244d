#pragma once
// Number tokens and the small scanning steps that the object parser, the
// cross-reference readers and the trailer search share.
#include <cstdint>

#include "runtime/ObjectValue.h"
#include "streams/DataStream.h"

namespace pdf {

// True when a run of decimal digits (without leading zeros) fits a signed
// 32-bit integer: fewer than 10 digits, or 10 digits not above
// "2147483647".
bool FitsInt32Decimal(const uint8_t* digits, uint32_t length);

class Lexer {
 public:
  // The number at the read position (a sign, a period or a digit): an
  // integer, a 16.16 real, or an overflowed integer clamped to 0x7FFFFFFF or
  // 0x80000000. Regular bytes that still follow the number are skipped.
  static runtime::ObjectValue ParseNumberToken(streams::DataStream& stream);
  // The conversion under it: `digits` without leading zeros, and the
  // fraction digits when the token had a period.
  static runtime::ObjectValue DecimalToNumber(bool negative, const uint8_t* digits,
                                              uint32_t length, bool isReal,
                                              const uint8_t* fraction, uint32_t fractionLength);

  // Skips white-space bytes; false when the data ends.
  static bool SkipWhiteSpace(streams::DataStream& stream);
  // Skips white-space and comments; false when the data ends.
  static bool SkipWhiteSpaceAndComments(streams::DataStream& stream);
  // Skips regular bytes up to the next white-space or delimiter.
  static void SkipRegular(streams::DataStream& stream);
  // A non-negative integer that must start with a decimal digit at the read
  // position; (runtime, 2) otherwise. Overflow clamps to 0x7FFFFFFF.
  static int32_t ReadUnsigned(streams::DataStream& stream);
  // Consumes `keyword` when the bytes at the read position spell it and a
  // white-space, a delimiter or the end of data follows; false (nothing
  // consumed) otherwise.
  static bool TakeKeyword(streams::DataStream& stream, const char* keyword);
};

}  // namespace pdf
