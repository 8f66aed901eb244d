#include "color/AxialShading.h"

#include <algorithm>
#include <cmath>

namespace color {
namespace {

// s values beyond this (in whole axis lengths) are far outside the axis
// either way; the bound keeps every step of a row inside 64 bits.
constexpr double kFractionLimit = double(int64_t{1} << 38);

int64_t ClampToFixed64(double value) {
  if (std::isnan(value)) return 0;
  return static_cast<int64_t>(std::clamp(value, -kFractionLimit, kFractionLimit));
}

// Pixels k >= 0 of a run with value + k * step still on the same side, at
// least 1 and at most `room`.
int32_t PixelsBefore(int64_t distance, int64_t speed, int32_t room) {
  if (speed <= 0) return room;
  const int64_t k = (distance + speed - 1) / speed;
  return static_cast<int32_t>(std::clamp<int64_t>(k, 1, room));
}

}  // namespace

AxialShading::AxialShading(const ShadingRenderContext& render, const ShadingDict& dict, const AxialParams& params)
    : SampledShadingSource(render.Setup(dict)), dict_(dict), colour_(render, dict_), params_(params) {
  const double x0 = params.x0, y0 = params.y0;
  const double dx = params.x1 - x0, dy = params.y1 - y0;
  const double lengthSquared = dx * dx + dy * dy;
  InverseMapping inverse;
  if (lengthSquared == 0 || !inverse.SetFrom(render.ctm)) {
    MarkEmpty();
    return;
  }
  // s = ((p - p0) . d) / |d|^2 with p the shading-space point of a centre.
  const double ux = dx / lengthSquared, uy = dy / lengthSquared;
  perX_ = inverse.a * ux + inverse.b * uy;
  perY_ = inverse.c * ux + inverse.d * uy;
  offset_ = (inverse.e - x0) * ux + (inverse.f - y0) * uy;
  step_ = ClampToFixed64(perX_ * double(kOne));
}

void AxialShading::Prepare() {
  colour_.Prepare();
  if (!IsEmpty()) colour_.BuildTable(Arena(), params_.t0, params_.t1);
}

int64_t AxialShading::FractionAt(int32_t x) const {
  return ClampToFixed64((perX_ * (x + 0.5) + perY_ * (Row() + 0.5) + offset_) * double(kOne));
}

int32_t AxialShading::ProduceRun(int32_t x, int32_t limit, bool& painted) {
  int64_t s = FractionAt(x);
  const int32_t room = limit - x;
  const int32_t step = ComponentStep();
  if (s < 0 || s > kOne) {
    const bool before = s < 0;
    const int32_t end = x + (before ? PixelsBefore(-s, step_, room) : PixelsBefore(s - kOne, -step_, room));
    if (before ? params_.extend0 : params_.extend1) {
      colour_.WriteEntry(PixelAt(x), step, before ? 0 : ShadingColour::kTableIntervals);
      CopyFirstPixel(x, end);
      painted = true;
    } else {
      painted = OutsideRun(x, end);
    }
    return end;
  }
  int64_t count = room;
  if (step_ > 0) count = std::min<int64_t>(count, (kOne - s) / step_ + 1);
  if (step_ < 0) count = std::min<int64_t>(count, s / -step_ + 1);
  uint8_t* pixel = PixelAt(x);
  const int32_t pixelStep = PixelStep();
  if (dict_.antiAlias) {
    constexpr int kPositionShift = kFractionBits - 16;  // 256 x 256 positions per axis length
    for (int64_t i = 0; i < count; ++i, pixel += pixelStep, s += step_) {
      const int64_t position = (s + (int64_t{1} << (kPositionShift - 1))) >> kPositionShift;
      colour_.WriteBetween(pixel, step,
                           static_cast<int32_t>(std::clamp<int64_t>(position, 0, ShadingColour::kTablePositions)));
    }
  } else {
    constexpr int kIndexShift = kFractionBits - 8;  // 256 entries per axis length
    for (int64_t i = 0; i < count; ++i, pixel += pixelStep, s += step_) {
      const int64_t index = (s + (int64_t{1} << (kIndexShift - 1))) >> kIndexShift;
      colour_.WriteEntry(pixel, step, static_cast<int32_t>(std::clamp<int64_t>(index, 0, 256)));
    }
  }
  painted = true;
  return x + static_cast<int32_t>(count);
}

}  // namespace color
