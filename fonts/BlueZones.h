#pragma once
// The alignment zones of a font at one scale: BlueValues and OtherBlues
// turned into device positions, with overshoot suppression below
// BlueScale. A stem edge inside a zone is snapped to the zone so that
// round and flat letters share their height at small sizes.
#include <cstdint>

#include "fonts/PrivateRecord.h"
#include "fonts/StemEdge.h"

namespace fonts {

class BlueZones {
 public:
  struct Zone {
    Fixed bottom;
    Fixed top;
    Fixed device;
    bool isBottom;
  };

  BlueZones() = default;
  // scale: device units per charstring unit along y.
  BlueZones(const PrivateRecord& record, Fixed scale);

  // Aligns the stem {bottom, top} (either may be absent: flags 0) to the
  // first zone that captures one of its edges; moves both edges by the same
  // amount, locks them and returns true. False when no zone captures it.
  bool AlignStem(StemEdge& bottom, StemEdge& top) const;

  uint32_t Count() const { return count_; }
  const Zone& At(uint32_t i) const { return zones_[i]; }
  bool Suppressing() const { return suppress_; }

 private:
  Zone zones_[12] = {};
  uint32_t count_ = 0;
  Fixed blueScale_ = 0;
  Fixed blueShift_ = 0;
  Fixed blueFuzz_ = 0;
  Fixed offset_ = 0;
  bool suppress_ = false;
};

// round(v): v + 0.5 with the fraction cleared.
inline Fixed RoundFixed(Fixed v) {
  return static_cast<Fixed>((int64_t{v} + 0x8000) & ~int64_t{0xFFFF});
}

}  // namespace fonts
