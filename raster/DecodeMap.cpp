#include "raster/DecodeMap.h"

#include <algorithm>

#include "runtime/ErrorTrap.h"

namespace raster {
namespace {

// round(v x 255) for a 16.16 value, rounded at 0x8000; a product at or
// above 0x7fff8000 saturates at 32768.
int32_t ScaledDecodeEnd(Fixed v) {
  const int64_t product = int64_t{v} * 255;
  if (product >= 0x7fff8000) return 32768;
  return static_cast<int32_t>((product + 0x8000) >> 16);
}

// n / d rounded to the nearest integer, d > 0.
int64_t RoundedQuotient(int64_t n, int64_t d) { return n >= 0 ? (n + d / 2) / d : -((-n + d / 2) / d); }

uint8_t ClampToByte(int64_t v) { return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255)); }

// A 16.16 value in [0, 1.0] as a byte, so that 1.0 gives 255.
uint8_t UnitToByte(int64_t v) {
  v = std::clamp<int64_t>(v, 0, runtime::kFixedOne);
  return static_cast<uint8_t>((v >= 0x8000 ? v - 1 : v) >> 8);
}

}  // namespace

DecodeMap DecodeMap::Build(const Fixed* decode, int32_t components) {
  if (components <= 0 || components > kMaxComponents) runtime::ThrowRuntime(runtime::kMalformed);
  DecodeMap map;
  map.decode = decode;
  map.components = components;
  map.oneTable = true;
  for (int32_t c = 1; c < components; ++c) {
    if (decode[2 * c] != decode[0] || decode[2 * c + 1] != decode[1]) map.oneTable = false;
  }
  if (!map.oneTable) {
    for (int32_t c = 0; c < components; ++c) {
      map.steps[c] = runtime::FixedDiv(runtime::FixedSubSat(decode[2 * c + 1], decode[2 * c]), 255 << 16);
    }
    return map;
  }
  const int32_t lo = ScaledDecodeEnd(decode[0]);
  const int32_t hi = ScaledDecodeEnd(decode[1]);
  for (int32_t i = 0; i < 256; ++i) {
    int64_t entry = lo;
    if (hi != lo) {
      entry = lo + RoundedQuotient(int64_t{i} * (hi - lo), 255);
      entry = hi > lo ? std::min<int64_t>(entry, hi) : std::max<int64_t>(entry, hi);
    }
    map.table[i] = ClampToByte(entry);
  }
  return map;
}

DecodeMap DecodeMap::BuildIndexed(const Fixed* decode, int32_t maxSample, int32_t hival) {
  DecodeMap map;
  map.decode = decode;
  map.components = 1;
  map.oneTable = true;
  const int64_t lo = decode[0];
  const int64_t span = int64_t{decode[1]} - decode[0];
  const int64_t top = std::clamp<int64_t>(hival, 0, 255);
  const int64_t divisor = std::max(maxSample, 1);
  for (int32_t i = 0; i < 256; ++i) {
    const int64_t sample = std::min(i, maxSample);
    // 16.16 index value, rounded to a whole index.
    const int64_t value = lo + RoundedQuotient(sample * span, divisor);
    const int64_t index = (value + 0x8000) >> 16;
    map.table[i] = static_cast<uint8_t>(std::clamp<int64_t>(index, 0, top));
  }
  return map;
}

void DecodeMap::MapRow(uint8_t* out, const uint8_t* in, uint32_t count) const {
  if (oneTable) {
    for (uint32_t i = 0; i < count; ++i) out[i] = table[in[i]];
    return;
  }
  int32_t c = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const int64_t min = decode[2 * c];
    const int64_t max = decode[2 * c + 1];
    int64_t v = min + int64_t{in[i]} * steps[c];
    v = max >= min ? std::min(v, max) : std::max(v, max);
    out[i] = UnitToByte(v);
    if (++c == components) c = 0;
  }
}

}  // namespace raster
