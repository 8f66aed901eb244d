#pragma once
// Function-based shadings (type 1): the colour at each point of the
// rectangular Domain is the function of its coordinates, with "Matrix"
// mapping the Domain into shading space. Every painted pixel evaluates the
// functions, and charges the work budget accordingly.
#include <cstdint>

#include "color/SampledGeometry.h"
#include "color/ShadingColour.h"
#include "color/ShadingDict.h"
#include "raster/ShadingSource.h"

namespace color {

class FunctionShading final : public raster::SampledShadingSource {
 public:
  // Empty when "Matrix" followed by the CTM cannot be inverted.
  FunctionShading(const ShadingRenderContext& render, const ShadingDict& dict, const FunctionBasedParams& params);

  // The work that may throw, once the rasteriser is built: the colour
  // converter and the colour table.
  void Prepare();

 private:
  int32_t ProduceRun(int32_t x, int32_t limit, bool& painted) override;

  ShadingDict dict_;
  ShadingColour colour_;
  FunctionBasedParams params_;
  InverseMapping inverse_;
};

}  // namespace color
