#pragma once
// Axial shadings (type 2): the colour varies along the axis from (x0, y0)
// to (x1, y1) and is constant on the perpendiculars; Extend carries the end
// colours beyond the axis's ends.
#include <cstdint>

#include "color/SampledGeometry.h"
#include "color/ShadingColour.h"
#include "color/ShadingDict.h"
#include "raster/ShadingSource.h"

namespace color {

class AxialShading final : public raster::SampledShadingSource {
 public:
  // Empty when the axis has no length or the CTM cannot be inverted.
  AxialShading(const ShadingRenderContext& render, const ShadingDict& dict, const AxialParams& params);

  // The work that may throw, once the rasteriser is built: the colour
  // converter and the colour table.
  void Prepare();

 private:
  // The fraction s = u / L along the axis at pixel centres is a linear
  // function of device x and y, carried with kFractionBits fractional bits.
  static constexpr int kFractionBits = 24;
  static constexpr int64_t kOne = int64_t{1} << kFractionBits;

  int32_t ProduceRun(int32_t x, int32_t limit, bool& painted) override;
  int64_t FractionAt(int32_t x) const;

  ShadingDict dict_;
  ShadingColour colour_;
  AxialParams params_;
  double perX_ = 0, perY_ = 0, offset_ = 0;  // s = perX (x + .5) + perY (y + .5) + offset
  int64_t step_ = 0;                         // s per pixel along a row, fixed point
};

}  // namespace color
