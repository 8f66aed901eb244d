#pragma once
// The predefined CMaps of the four CJK character collections, bit-packed.
// Generated at build time by resources/cmaps/pack_cmaps.py from the CMap
// files of Debian's poppler-data package.
#include <cstdint>

namespace resources {

struct PackedCMap {
  const char* name;
  const char* data;
  uint32_t length;
};

extern const PackedCMap kJapan1CMaps[];
extern const uint32_t kJapan1CMapCount;
extern const PackedCMap kGB1CMaps[];
extern const uint32_t kGB1CMapCount;
extern const PackedCMap kCNS1CMaps[];
extern const uint32_t kCNS1CMapCount;
extern const PackedCMap kKorea1CMaps[];
extern const uint32_t kKorea1CMapCount;

}  // namespace resources
