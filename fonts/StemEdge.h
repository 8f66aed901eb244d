#pragma once
// One edge of a horizontal stem: where it is in charstring units and where
// the hinting puts it in device units.
#include <cstdint>

#include "runtime/Fixed.h"

namespace fonts {

struct StemEdge {
  static constexpr uint32_t kGhostBottom = 1;
  static constexpr uint32_t kGhostTop = 2;
  static constexpr uint32_t kBottom = 4;
  static constexpr uint32_t kTop = 8;
  static constexpr uint32_t kLocked = 16;

  uint32_t flags = 0;  // 0: no edge
  runtime::Fixed coordinate = 0;
  runtime::Fixed device = 0;
  runtime::Fixed scale = 0;  // in the map: the slope to the next point

  bool IsBottom() const { return (flags & (kGhostBottom | kBottom)) != 0; }
  bool IsTop() const { return (flags & (kGhostTop | kTop)) != 0; }
};

}  // namespace fonts
