#include "color/SampledCurveStage.h"

#include <algorithm>

#include "color/BasicStages.h"

namespace color {

namespace {

using runtime::FixedDiv;
using runtime::FixedMul;
using runtime::kFixedOne;

}  // namespace

SampledCurveStage::SampledCurveStage(runtime::LibraryContext* context, int32_t direction, const Fixed* table,
                                     uint32_t n, int32_t channel)
    : IccStage(context), channel_(channel) {
  table_.CopyFrom(context, table, n);
  if (direction == 0 && n >= 2) Invert();
}

IccStageRef SampledCurveStage::Create(runtime::LibraryContext* context, int32_t direction, const Fixed* table,
                                      uint32_t n, int32_t channel) {
  return IccStageRef(streams::MakeRef<SampledCurveStage>(context, direction, table, n, channel));
}

bool SampledCurveStage::IsIdentity() const {
  const uint32_t n = table_.Count();
  if (n < 2) return true;
  if (n == 2) return table_[0] == 0 && table_[1] == kFixedOne;
  if (n != 256) return false;
  for (uint32_t i = 0; i < n; ++i) {
    if (table_[i] != static_cast<Fixed>(257 * i)) return false;
  }
  return true;
}

Fixed SampledCurveStage::Lookup(Fixed v) const {
  const uint32_t n = table_.Count();
  if (n < 2) return v;
  const Fixed* t = table_.Data();
  if (v >= 0 && v < kFixedOne && n <= 65536) {
    // The common case in 32 bits: the cell is the integer part of
    // v (n - 1), which stays below n - 1.
    const uint32_t p = static_cast<uint32_t>(v) * (n - 1);
    const uint32_t k = p >> 16;
    return t[k] + FixedMul(t[k + 1] - t[k], static_cast<Fixed>(p & 0xFFFF));
  }
  // Negative inputs occur (out-of-gamut colours through a matrix): the
  // cell is kept inside the table and the fraction inside [0, 1.0].
  int64_t p = (static_cast<int64_t>(v) * ((int64_t{n} << 16) - kFixedOne)) >> 16;
  int64_t k = p >> 16;
  if (k > static_cast<int64_t>(n) - 2) k = n - 2;
  if (k < 0) k = 0;
  int64_t fraction = p - (k << 16);
  if (fraction < 0) fraction = 0;
  if (fraction > kFixedOne) fraction = kFixedOne;
  Fixed a = t[k], b = t[k + 1];
  return a + FixedMul(b - a, static_cast<Fixed>(fraction));
}

void SampledCurveStage::ApplySpan(Fixed* vectors, uint32_t count) const {
  const uint32_t n = table_.Count();
  if (n < 2) return;
  const Fixed* t = table_.Data();
  const uint32_t cells = n - 1;
  const bool wide = n > 65536;
  for (uint32_t i = 0; i < count; ++i) {
    Fixed& value = vectors[i * kMaxColorChannels + channel_];
    const Fixed v = value;
    if (v >= 0 && v < kFixedOne && !wide) {
      // Lookup's common case, kept in the loop.
      const uint32_t p = static_cast<uint32_t>(v) * cells;
      const uint32_t k = p >> 16;
      value = t[k] + FixedMul(t[k + 1] - t[k], static_cast<Fixed>(p & 0xFFFF));
    } else {
      value = Lookup(v);
    }
  }
}

void SampledCurveStage::Invert() {
  const uint32_t n = table_.Count();
  Fixed* t = table_.Data();
  if (t[n - 1] < t[0]) std::reverse(t, t + n);
  for (uint32_t i = 1; i < n; ++i) t[i] = std::max(t[i], t[i - 1]);
  ContextArray<Fixed> inverse;
  inverse.Allocate(Context(), n);
  // Grid positions i / (n - 1), each divided exactly: a rounded step
  // multiplied up would drift by up to n units at the top.
  auto position = [n](uint32_t i) {
    return static_cast<Fixed>((static_cast<uint64_t>(i) << 16) / (n - 1));
  };
  uint32_t j = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const Fixed y = position(i);
    while (j + 2 < n && y >= t[j + 1]) ++j;
    const Fixed x0 = position(j);
    const Fixed r = t[j + 1] - t[j] > 1 ? t[j + 1] - t[j] : 1;
    // The divisor is deliberately n x r, not (n - 1) x r.
    inverse[i] = ClampUnit(x0 + FixedDiv(y - t[j], static_cast<Fixed>(n) * r));
  }
  table_ = std::move(inverse);
}

}  // namespace color
