#pragma once
// Radial shadings (type 3): the colour at a point is that of the last
// circle of the family between the starting and the ending circle (centres
// and radii interpolated by s) that passes through it; Extend continues the
// family before s = 0 and past s = 1 while the radius stays non-negative.
// Both the cone case (circles not nested) and nested circles fall out of
// the same quadratic.
#include <cstdint>

#include "color/SampledGeometry.h"
#include "color/ShadingColour.h"
#include "color/ShadingDict.h"
#include "raster/ShadingSource.h"

namespace color {

class RadialShading final : public raster::SampledShadingSource {
 public:
  // Empty when the CTM cannot be inverted or both radii are negative.
  RadialShading(const ShadingRenderContext& render, const ShadingDict& dict, const RadialParams& params);

  // The table entry (0..256) for the shading-space point (u, v), or -1 when
  // no circle of the family passes through it.
  int32_t EntryAt(double u, double v) const;
  // The same as a position between the entries (0..kTablePositions).
  int32_t PositionAt(double u, double v) const;

  // The work that may throw, once the rasteriser is built: the colour
  // converter and the colour table.
  void Prepare();

 private:
  int32_t ProduceRun(int32_t x, int32_t limit, bool& painted) override;
  // The run loop, one copy per colour lookup, so that the per-pixel path
  // has no choice to make and its helpers inline.
  template <bool kBetween>
  int32_t ProduceRunWith(int32_t x, int32_t limit, bool& painted);
  [[gnu::always_inline]] inline bool Accepts(double s) const;
  // The family's parameter s (clamped to 0..1) of the last circle through
  // (u, v); false when none passes through it.
  [[gnu::always_inline]] inline bool ParameterAt(double u, double v, double& s) const;

  ShadingDict dict_;
  ShadingColour colour_;
  RadialParams params_;
  InverseMapping inverse_;
  double x0_ = 0, y0_ = 0, r0_ = 0, dx_ = 0, dy_ = 0, dr_ = 0, a_ = 0, inverseA_ = 0;
  bool sameCircle_ = false;
  bool linear_ = false;  // a is (nearly) 0: one root
};

}  // namespace color
