#pragma once
// One cubic that follows a piece of a curve offset sideways by half the
// line width, fitted by least squares through sample points of the true
// offset with its end points fixed.
#include <cstdint>

#include "raster/SegmentPath.h"

namespace raster {

struct OffsetPiece {
  FixedPoint start, control1, control2, end;  // the offset cubic
  FixedPoint centreStart, centreEnd;          // the curve's points at t0, t1
};

namespace OffsetCurve {
// The offset normal (left of the direction of travel, length `halfWidth`)
// at t of a cubic. A vanishing derivative (a cusp or a doubled control
// point) takes the direction of the curve through a nearby span instead.
// With `sides`, the length is the side offset of that direction instead.
FixedPoint NormalAt(const StrokeSegment& curve, Fixed t, Fixed halfWidth, const StrokeParameters* sides = nullptr);
// Fits the offset of [t0, t1]; true when the cubic stays within the
// stroke's tolerance of the offset curve (always with `force`).
bool Fits(const StrokeSegment& curve, Fixed t0, Fixed t1, const StrokeParameters& params, bool force, OffsetPiece& out);
}  // namespace OffsetCurve

// Rounds a double to 16.16 with saturation.
Fixed FixedFromDoubleSat(double v);

}  // namespace raster
