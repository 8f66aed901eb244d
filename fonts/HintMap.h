#pragma once
// The piecewise-linear map from charstring y to device y that fits a
// glyph's horizontal stems to the pixel grid: control points two per stem,
// sorted by coordinate, each with the slope to the next one.
#include <cstdint>

#include "fonts/BlueZones.h"
#include "fonts/HintMask.h"
#include "fonts/StemEdge.h"

namespace fonts {

struct StemPair {
  Fixed edge1;
  Fixed edge2;
};

class HintMap {
 public:
  static constexpr uint32_t kMaxPoints = 192;

  void SetScale(Fixed scale) { scale_ = scale; }
  Fixed Scale() const { return scale_; }
  bool IsValid() const { return valid_; }
  void Invalidate() { valid_ = false; }

  // Rebuilds the map from the horizontal stems whose mask bits are set
  // (`mask` invalid: all of them), zone-aligned stems first. `offset` is
  // added to every stem coordinate.
  void Build(const StemPair* stems, uint32_t stemCount, HintMask& mask, Fixed offset,
             const BlueZones& zones);
  // Inserts one or two edges (`b.flags` 0: one) unless they conflict with
  // the points already in the map.
  void Insert(const StemEdge& a, const StemEdge& b);
  // Moves the free points to the pixel grid and stores the slopes.
  void Finish();
  // The device y of charstring y.
  Fixed Map(Fixed y);

  uint32_t Count() const { return count_; }
  const StemEdge& PointAt(uint32_t i) const { return points_[i]; }

  // The edges of stem {e1, e2} at `offset` and `scale`; an absent edge has
  // flags 0.
  static void MakeEdges(StemPair stem, Fixed offset, Fixed scale, StemEdge& bottom,
                        StemEdge& top);

 private:
  Fixed scale_ = 0;
  bool valid_ = false;
  uint32_t count_ = 0;
  uint32_t last_ = 0;
  StemEdge points_[kMaxPoints];
};

}  // namespace fonts
