#pragma once
// The numbers the stroker, the dasher and the segment paths share for one
// stroke, derived from the graphics state's stroke style and the stroke
// geometry set up for the current matrix. Every length is in the space the
// path is stroked in (user space, divided by the geometry's divisor when
// the width had to be rescaled).
#include <cstdint>
#include <span>

#include "raster/PathGeometry.h"
#include "runtime/Fixed.h"
#include "runtime/StrokeGeometry.h"

namespace raster {

struct StrokeParameters {
  Fixed width = 0;
  Fixed halfWidth = 0;
  Fixed halfWidthSquared = 0;
  Fixed miterLimit = 0;
  int32_t cap = 0;
  int32_t join = 0;
  // Dash lengths and phase; empty when solid.
  std::span<const Fixed> dashes;
  Fixed dashPhase = 0;
  // Quarter of a device pixel: the pixel tolerance of the dasher's gap test
  // and the fit tolerance of offset curves.
  Fixed tolerance = 0;
  // Sample points of the offset-curve fit (2 to 6).
  int32_t sampleCount = 3;
  // A direction vector no longer than this has no normal.
  Fixed minLength = 4;
  // A round join whose two normals have a dot product above this is drawn
  // as a straight line: the arc would stay within the tolerance of it.
  Fixed roundThreshold = 0;
  // Segments wholly outside this box (in one outside zone) are not stroked
  // when the stroke is solid.
  FixedClipBox clip;
  // Selects the dasher's pass-through test for all sub-paths.
  bool specialDash = false;
  // The scan converter widens a boundary more the nearer it runs to a
  // diagonal of the device: a side offset along device direction θ is
  // narrowed by diagonalNarrowing · |sin 2θ| (the 2 x 2 part of the matrix
  // gives the device direction). Zero leaves every side at halfWidth.
  Fixed diagonalNarrowing = 0;
  Fixed deviceA = runtime::kFixedOne, deviceB = 0, deviceC = 0, deviceD = runtime::kFixedOne;

  // What the set-up took off each side (an eighth of a device pixel) when it
  // narrowed the stroke; butt ends are pulled back by as much.
  Fixed uniformNarrowing = 0;

  // The offset distance of a side whose direction of travel is `direction`.
  Fixed SideOffset(FixedPoint direction) const;
  // The radius of round caps and joins: an arc runs in every direction, so
  // it is narrowed by the mean of the diagonal narrowing (2/π of it).
  Fixed ArcRadius() const { return halfWidth - static_cast<Fixed>((int64_t{diagonalNarrowing} * 41722) >> 16); }
  // How far a butt end of a stroke running along `direction` is pulled back
  // for the same reason its sides are narrowed (0 when they are not).
  Fixed EndPullback(FixedPoint direction) const;

  bool IsDashed() const { return !dashes.empty(); }

  // From a geometry set-up (whose style supplies miter limit, cap and join).
  // `widthOverride` replaces the geometry's width when positive (thin
  // lines).
  static StrokeParameters From(const runtime::StrokeGeometry& geometry, Fixed widthOverride = 0);
  // A direct set-up in one space (tests and overlays): no culling.
  static StrokeParameters Simple(Fixed width, int32_t cap, int32_t join, Fixed miterLimit,
                                 Fixed tolerance = runtime::kFixedOne / 4);
  void SetWidth(Fixed newWidth);
};

}  // namespace raster
