#include "color/FunctionShading.h"

#include <algorithm>

#include "runtime/Scheduler.h"

namespace color {
namespace {

// Work units per evaluated pixel.
constexpr int32_t kFunctionPixelCost = 10000;

}  // namespace

FunctionShading::FunctionShading(const ShadingRenderContext& render, const ShadingDict& dict,
                                 const FunctionBasedParams& params)
    : SampledShadingSource(render.Setup(dict)), dict_(dict), colour_(render, dict_), params_(params) {
  if (!inverse_.SetFromProduct(params.matrix, render.ctm)) MarkEmpty();
}

void FunctionShading::Prepare() { colour_.Prepare(); }

int32_t FunctionShading::ProduceRun(int32_t x, int32_t limit, bool& painted) {
  const int32_t step = ComponentStep(), pixelStep = PixelStep();
  const Fixed lowX = std::min(params_.x0, params_.x1), highX = std::max(params_.x0, params_.x1);
  const Fixed lowY = std::min(params_.y0, params_.y1), highY = std::max(params_.y0, params_.y1);
  double u = 0, v = 0;
  inverse_.MapCentre(x, Row(), u, v);
  uint8_t* pixel = PixelAt(x);
  int32_t end = x;
  for (; end < limit; ++end, pixel += pixelStep, u += inverse_.a, v += inverse_.b) {
    const Fixed point[2] = {RoundToFixed(u), RoundToFixed(v)};
    // The Domain's bounds belong to it.
    const bool inside = lowX <= point[0] && point[0] <= highX && lowY <= point[1] && point[1] <= highY;
    if (end == x) painted = inside;
    if (inside != painted) break;
    if (inside) {
      colour_.WritePixel(pixel, step, point);
      runtime::ChargeWork(Context(), kFunctionPixelCost);
    }
  }
  if (!painted) painted = OutsideRun(x, end);
  return end;
}

}  // namespace color
