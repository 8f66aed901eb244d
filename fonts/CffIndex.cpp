#include "fonts/CffIndex.h"

#include "fonts/FontError.h"

namespace fonts {

namespace {

uint32_t ReadCffOffset(const uint8_t* p, uint32_t size) {
  uint32_t v = 0;
  for (uint32_t i = 0; i < size; ++i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

CffIndex CffIndex::ReadHeader(std::span<const uint8_t> program, uint64_t position) {
  CffIndex index;
  if (position + 2 > program.size()) ThrowMalformedFont();
  index.count = (uint32_t{program[position]} << 8) | program[position + 1];
  if (index.count == 0) {
    index.end = static_cast<uint32_t>(position + 2);
    return index;
  }
  if (position + 3 > program.size()) ThrowMalformedFont();
  index.offSize = program[position + 2];
  if (index.offSize < 1 || index.offSize > 4) ThrowMalformedFont();
  index.offsetsPosition = static_cast<uint32_t>(position + 3);
  const uint64_t offsetsEnd =
      uint64_t{index.offsetsPosition} + uint64_t{index.count + 1} * index.offSize;
  if (offsetsEnd > program.size()) ThrowMalformedFont();
  index.dataPosition = static_cast<uint32_t>(offsetsEnd - 1);
  const uint32_t last = index.OffsetAt(program, index.count);
  const uint64_t end = uint64_t{index.dataPosition} + last;
  if (last == 0 || end > program.size()) ThrowMalformedFont();
  index.end = static_cast<uint32_t>(end);
  return index;
}

uint32_t CffIndex::OffsetAt(std::span<const uint8_t> program, uint32_t n) const {
  return ReadCffOffset(program.data() + offsetsPosition + uint64_t{n} * offSize, offSize);
}

CffBytes CffIndex::Entry(std::span<const uint8_t> program, uint32_t n) const {
  if (n >= count) ThrowMalformedFont();
  const uint32_t a = OffsetAt(program, n);
  const uint32_t b = OffsetAt(program, n + 1);
  if (a == 0 || b < a) ThrowMalformedFont();
  const uint64_t start = uint64_t{dataPosition} + a;
  const uint64_t stop = uint64_t{dataPosition} + b;
  if (stop > end || stop > program.size()) ThrowMalformedFont();
  return {program.data() + start, static_cast<uint32_t>(stop - start)};
}

}  // namespace fonts
