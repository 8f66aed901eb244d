#include "color/RadialShading.h"

#include <algorithm>
#include <cmath>

namespace color {
namespace {

// |a| below this (relative to the squared scale of the circles) is the
// linear case: the circles' radii grow exactly as fast as their centres
// move apart.
constexpr double kLinearTolerance = 1e-9;

}  // namespace

RadialShading::RadialShading(const ShadingRenderContext& render, const ShadingDict& dict, const RadialParams& params)
    : SampledShadingSource(render.Setup(dict)), dict_(dict), colour_(render, dict_), params_(params) {
  x0_ = params.x0;
  y0_ = params.y0;
  r0_ = params.r0;
  dx_ = params.x1 - x0_;
  dy_ = params.y1 - y0_;
  dr_ = params.r1 - r0_;
  a_ = dx_ * dx_ + dy_ * dy_ - dr_ * dr_;
  inverseA_ = a_ != 0 ? 1 / a_ : 0;
  linear_ = std::fabs(a_) <= kLinearTolerance * (dx_ * dx_ + dy_ * dy_ + dr_ * dr_);
  sameCircle_ = dx_ == 0 && dy_ == 0 && dr_ == 0;
  if ((params.r0 < 0 && params.r1 < 0) || !inverse_.SetFrom(render.ctm)) {
    MarkEmpty();
  }
}

void RadialShading::Prepare() {
  colour_.Prepare();
  if (!IsEmpty()) colour_.BuildTable(Arena(), params_.t0, params_.t1);
}

inline bool RadialShading::Accepts(double s) const {
  if (!std::isfinite(s) || r0_ + s * dr_ < 0) return false;
  if (s < 0) return params_.extend0;
  if (s > 1) return params_.extend1;
  return true;
}

inline bool RadialShading::ParameterAt(double u, double v, double& s) const {
  const double pu = u - x0_, pv = v - y0_;
  if (sameCircle_) {
    // Two equal circles: nothing lies between them; Extend past the ending
    // circle fills its inside with the ending colour.
    s = 1;
    return params_.extend1 && pu * pu + pv * pv <= r0_ * r0_;
  }
  // |p - c(s)| = r(s) with c(s) = c0 + s d, r(s) = r0 + s dr:
  // a s^2 - 2 b s + c = 0.
  const double b = pu * dx_ + pv * dy_ + r0_ * dr_;
  const double c = pu * pu + pv * pv - r0_ * r0_;
  s = 0;
  bool found = false;
  if (linear_) {
    if (b != 0) {
      s = c / (2 * b);
      found = Accepts(s);
    }
  } else {
    const double discriminant = b * b - a_ * c;
    if (discriminant >= 0) {
      const double root = std::sqrt(discriminant);
      const double s1 = (b + root) * inverseA_, s2 = (b - root) * inverseA_;
      // The larger s is the later circle, drawn over the earlier one.
      const double high = std::max(s1, s2), low = std::min(s1, s2);
      if (Accepts(high)) {
        s = high;
        found = true;
      } else if (Accepts(low)) {
        s = low;
        found = true;
      }
    }
  }
  s = std::clamp(s, 0.0, 1.0);
  return found;
}

int32_t RadialShading::EntryAt(double u, double v) const {
  double s = 0;
  // s is clamped to 0..1, so adding a half and truncating rounds.
  return ParameterAt(u, v, s) ? static_cast<int32_t>(s * ShadingColour::kTableIntervals + 0.5) : -1;
}

int32_t RadialShading::PositionAt(double u, double v) const {
  double s = 0;
  return ParameterAt(u, v, s) ? static_cast<int32_t>(s * ShadingColour::kTablePositions + 0.5) : -1;
}

template <bool kBetween>
int32_t RadialShading::ProduceRunWith(int32_t x, int32_t limit, bool& painted) {
  const int32_t step = ComponentStep(), pixelStep = PixelStep();
  double u = 0, v = 0;
  inverse_.MapCentre(x, Row(), u, v);
  const auto lookup = [this](double pu, double pv) {
    double s = 0;
    if (!ParameterAt(pu, pv, s)) return int32_t{-1};
    // s is clamped to 0..1, so adding a half and truncating rounds.
    return static_cast<int32_t>(
        s * (kBetween ? ShadingColour::kTablePositions : ShadingColour::kTableIntervals) + 0.5);
  };
  int32_t entry = lookup(u, v);
  painted = entry >= 0;
  uint8_t* pixel = PixelAt(x);
  int32_t end = x;
  while (end < limit) {
    if ((entry >= 0) != painted) break;
    if (painted) {
      if constexpr (kBetween)
        colour_.WriteBetween(pixel, step, entry);
      else
        colour_.WriteEntry(pixel, step, entry);
    }
    ++end;
    pixel += pixelStep;
    u += inverse_.a;
    v += inverse_.b;
    if (end < limit) entry = lookup(u, v);
  }
  if (!painted) painted = OutsideRun(x, end);
  return end;
}

int32_t RadialShading::ProduceRun(int32_t x, int32_t limit, bool& painted) {
  // With anti-aliasing the colour comes from between the table's entries.
  return dict_.antiAlias ? ProduceRunWith<true>(x, limit, painted)
                         : ProduceRunWith<false>(x, limit, painted);
}

}  // namespace color
