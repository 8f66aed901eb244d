#pragma once
// The byte mapping of an image's Decode array, applied to unpacked 8-bit
// samples: one 256-entry table when every component shares one Decode pair,
// else a 16.16 line per component.
#include <cstdint>

#include "runtime/Fixed.h"

namespace raster {

using runtime::Fixed;

struct DecodeMap {
  // Images have at most this many components (the stream row source's limit).
  static constexpr int32_t kMaxComponents = 32;

  uint8_t table[256] = {};
  Fixed steps[kMaxComponents] = {};  // (max - min) / 255 per component when not one table
  const Fixed* decode = nullptr;  // {min, max} per component, 16.16
  int32_t components = 1;
  bool oneTable = true;

  // `decode` must outlive the map; (runtime, 2) beyond kMaxComponents. Entries are clamped to 0..255: a Decode
  // range beyond [0, 1] saturates instead of wrapping.
  static DecodeMap Build(const Fixed* decode, int32_t components);
  // The map of an Indexed image. The samples are raw index values (at most
  // `maxSample`, 2^bits - 1) and Decode maps them in the index domain:
  // entry i = round(min + i x (max - min) / maxSample), clamped to
  // 0..hival, so no decoded index can leave the palette.
  static DecodeMap BuildIndexed(const Fixed* decode, int32_t maxSample, int32_t hival);

  // Maps `count` bytes, components taken in turn.
  void MapRow(uint8_t* out, const uint8_t* in, uint32_t count) const;
};

}  // namespace raster
