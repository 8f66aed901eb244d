#pragma once
// An INDEX of a CFF program: a count, an offset size and count + 1
// offsets in front of the data. Entries are checked against the data's
// end, so a hostile offset never reaches outside the program.
#include <cstdint>
#include <span>

namespace fonts {

struct CffBytes {
  const uint8_t* data = nullptr;
  uint32_t length = 0;
};

struct CffIndex {
  uint32_t count = 0;
  uint32_t offSize = 0;
  uint32_t offsetsPosition = 0;
  uint32_t dataPosition = 0;  // position of the byte before the data
  uint32_t end = 0;           // position after the INDEX

  // Reads the INDEX at `position` of `program`: (runtime, 2) when the
  // header or its offsets do not fit or the offset size is not 1..4.
  static CffIndex ReadHeader(std::span<const uint8_t> program, uint64_t position);
  // Entry n; (runtime, 2) when n ≥ count or the entry lies outside the
  // program or its offsets are out of order.
  CffBytes Entry(std::span<const uint8_t> program, uint32_t n) const;
  // Start position of entry n, unchecked against the data's end.
  uint32_t OffsetAt(std::span<const uint8_t> program, uint32_t n) const;
};

}  // namespace fonts
