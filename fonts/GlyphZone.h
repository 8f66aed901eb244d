#pragma once
// The points of a TrueType glyph while it is built and hinted: current
// (26.6, what instructions move), reference (26.6, scaled before
// instructions) and unscaled (font units) coordinates, on-curve and touch
// flags, and the contours. A zone of a component is a view into its
// parent's arrays, starting after the points already there.
#include <cstdint>

#include "runtime/ArenaAllocator.h"

namespace fonts {

struct GlyphZone {
  static constexpr uint8_t kTouchX = 1;
  static constexpr uint8_t kTouchY = 2;
  static constexpr uint32_t kPhantomPoints = 8;

  int32_t* curX = nullptr;
  int32_t* curY = nullptr;
  int32_t* refX = nullptr;
  int32_t* refY = nullptr;
  int32_t* unscaledX = nullptr;
  int32_t* unscaledY = nullptr;
  uint8_t* onCurve = nullptr;
  uint8_t* touch = nullptr;
  uint16_t* contourEnds = nullptr;
  // Outline points (phantom points follow them) and contours.
  uint32_t pointCount = 0;
  uint32_t contourCount = 0;
  // Room in the arrays (points include the phantom points).
  uint32_t pointCapacity = 0;
  uint32_t contourCapacity = 0;
  // Whether the unscaled coordinates may serve as the initial geometry.
  bool unscaledUsable = true;

  // Points addressable by instructions: the outline and its phantoms.
  uint32_t Limit() const { return pointCount + kPhantomPoints; }

  // Makes room for `points` outline points (plus the phantoms) and
  // `contours` contours, keeping the contents; memory from `arena`.
  void Reserve(runtime::ArenaAllocator& arena, uint32_t points, uint32_t contours);
  // A view of the points from `firstPoint` and contours from
  // `firstContour` on (empty, with the remaining room).
  GlyphZone Tail(uint32_t firstPoint, uint32_t firstContour) const;
};

}  // namespace fonts
