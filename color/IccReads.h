#pragma once
// Big-endian fields of ICC profile data. A stream that ends early throws
// as the stream layer does.
#include <cstdint>

#include "runtime/Fixed.h"
#include "streams/DataStream.h"

namespace color {

inline uint32_t ReadU32BE(streams::DataStream& stream) {
  uint32_t high = stream.ReadU16BE();
  return (high << 16) | stream.ReadU16BE();
}
// s15Fixed16: the 16.16 value bit for bit.
inline runtime::Fixed ReadS15Fixed16(streams::DataStream& stream) {
  return static_cast<runtime::Fixed>(ReadU32BE(stream));
}

// Sample scaling of every ICC table: a 16-bit sample v is v, plus 1 from
// 32768 on (0xFFFF is exactly 1.0); an 8-bit sample b is b x 257.
constexpr runtime::Fixed Sample16ToFixed(uint32_t v) { return static_cast<runtime::Fixed>(v + (v >= 32768 ? 1 : 0)); }
constexpr runtime::Fixed Sample8ToFixed(uint32_t b) { return static_cast<runtime::Fixed>(b * 257); }

}  // namespace color
