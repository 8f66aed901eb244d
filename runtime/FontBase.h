#pragma once
// What the layers below the fonts need of a font object. Fonts are counted
// library objects kept in the document's caches; the font layer derives
// every font kind from this base and implements its queries.
#include <cstdint>

namespace runtime {

class FontBase {
 public:
  virtual ~FontBase() = default;

  // True when the font's text is laid out as fixed graphics rather than as
  // characters (reflow keeps such strings as they are).
  virtual bool DrawsAsGraphics() const = 0;
  // Bytes the font holds, charged to its cache entry.
  virtual uint32_t MemorySize() const = 0;

  // Holders count fonts through CountedRef.
  uint32_t refCount = 1;
};

}  // namespace runtime
