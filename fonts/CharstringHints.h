#pragma once
// The hint state of one glyph run: the horizontal and vertical stem lists,
// the hint mask, the font's zones at this scale and the y map built from
// them on demand. Vertical stems count for the mask but move no point.
#include <cstdint>

#include "fonts/BlueZones.h"
#include "fonts/CharstringStack.h"
#include "fonts/HintMap.h"
#include "fonts/HintMask.h"
#include "runtime/ArenaVector.h"

namespace fonts {

class CharstringHints {
 public:
  // Without `enabled` y is only scaled.
  CharstringHints(runtime::ArenaAllocator& arena, const PrivateRecord& record, Fixed yScale,
                  Fixed yOffset, bool enabled);

  // Appends the operand pairs from operand `first` on as stems (each pair
  // relative to the previous stem's second edge); clears the stack.
  void AddStems(CharstringStack& stack, uint32_t first, bool horizontal);
  uint32_t StemCount() const { return hStems_.Size() + vStems_.Size(); }
  // Reads a hintmask's bytes and marks the map for rebuilding.
  void ReadMask(const uint8_t*& position, const uint8_t* end) {
    mask_.Read(position, end, StemCount());
    map_.Invalidate();
  }
  // Hint replacement (Type 1 othersubr 3): every stem dropped.
  void ClearStems() {
    hStems_.Clear();
    vStems_.Clear();
    mask_.valid = false;
    map_.Invalidate();
  }
  void Invalidate() {
    mask_.valid = false;
    map_.Invalidate();
  }
  // The device y of charstring y, rebuilding the map first when needed.
  Fixed MapY(Fixed y) {
    if (!enabled_) return static_cast<Fixed>((int64_t{y} * map_.Scale()) >> 16);
    if (!map_.IsValid()) Rebuild();
    return map_.Map(y);
  }
  const HintMap& Map() const { return map_; }

 private:
  void Rebuild();

  runtime::ArenaVector<StemPair> hStems_;
  runtime::ArenaVector<StemPair> vStems_;
  HintMask mask_;
  BlueZones zones_;
  HintMap map_;
  Fixed offset_;
  bool enabled_;
};

}  // namespace fonts
