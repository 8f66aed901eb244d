#pragma once
// DICT data of a CFF program: operands, then the operator that consumes
// them. One parser serves the Top DICT, the font dicts of an FDArray and
// the Private DICTs; it writes the Top values and the current font-dict
// record. Every malformed byte sequence is (runtime, 2).
#include <cstdint>
#include <span>

#include "fonts/CffTopDict.h"
#include "fonts/CharstringStack.h"
#include "fonts/PrivateRecord.h"

namespace fonts {

class CffDictParser {
 public:
  CffDictParser(std::span<const uint8_t> program, uint32_t baseOffset, CffTopDict& top,
                PrivateRecord& record)
      : program_(program), base_(baseOffset), top_(top), record_(record) {}

  // Parses [start, start + length) of the program. `isTop` tells a Top
  // DICT from a font dict or Private DICT (only FontMatrix depends on it).
  void Parse(uint64_t start, uint64_t length, bool isTop);

  // Reads a real operand (after byte 30) from [*position, end) and pushes
  // it: an integer when it has neither point nor exponent, else a Fixed.
  static void ReadDictReal(CharstringStack& stack, const uint8_t*& position, const uint8_t* end);

 private:
  void Operator(int code, CharstringStack& stack, uint64_t rangeStart, bool isTop);
  template <uint32_t N>
  static void ReadDeltaArray(CharstringStack& stack, FixedArray<N>& array);
  int64_t PopPosition(CharstringStack& stack);
  // The real operand at `start` with every digit counted, rounded to the
  // nearest Fixed (within 1% of 0.001: 65): font matrices such as 1/1400 lose
  // their size in the five-digit conversion.
  static Fixed PreciseDictReal(const uint8_t* start, const uint8_t* end);

  // The precise values of the operands on the stack (FontMatrix uses them).
  Fixed precise_[CharstringStack::kCapacity] = {};

  std::span<const uint8_t> program_;
  uint32_t base_;
  CffTopDict& top_;
  PrivateRecord& record_;
};

}  // namespace fonts
