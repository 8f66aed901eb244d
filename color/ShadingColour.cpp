#include "color/ShadingColour.h"

#include <algorithm>

#include "runtime/ErrorTrap.h"

namespace color {

void ShadingColour::Prepare() {
  const ShadingDict& dict = dict_;
  if (!dict.space || !render_.space) runtime::ThrowRuntime(runtime::kMalformed);
  sourceCount_ = dict.Components();
  targetCount_ = render_.space->ComponentCount();
  if (targetCount_ < 1 || static_cast<uint32_t>(targetCount_) > ShadingDict::kMaxComponents)
    runtime::ThrowRuntime(runtime::kMalformed);
  // The same space needs no conversion; components are only quantised.
  if (!dict.space->Equals(*render_.space) || dict.space->IsIndexed()) {
    converter_ = dict.space->MakeConverterFixed(*render_.space, render_.intent, 0, false);
    if (!converter_) runtime::ThrowRuntime(runtime::kOutOfMemory);
  }
}

const Fixed* ShadingColour::Convert(const Fixed* input) {
  if (dict_.functions.IsPresent()) {
    dict_.functions.Evaluate(source_, input);
  } else {
    std::copy(input, input + sourceCount_, source_);
  }
  if (!converter_) return source_;
  converter_->ConvertPixel(target_, 1, source_, 1);
  return target_;
}

void ShadingColour::WritePixel(uint8_t* pixel, int32_t step, const Fixed* input) {
  const Fixed* out = Convert(input);
  for (int32_t c = 0; c < targetCount_; ++c) pixel[c * step] = ClampedFixedToByte(out[c]);
}

void ShadingColour::BuildTable(runtime::ArenaAllocator& arena, Fixed t0, Fixed t1) {
  // The table maps the parameter t, which only functions turn into colour.
  if (!dict_.functions.IsPresent()) runtime::ThrowRuntime(runtime::kMalformed);
  t0_ = t0;
  t1_ = t1;
  table_ = static_cast<uint8_t*>(arena.Alloc(static_cast<size_t>(kTableIntervals + 1) * targetCount_));
  const int64_t span = static_cast<int64_t>(t1) - t0;
  for (int32_t i = 0; i <= kTableIntervals; ++i) {
    const Fixed t = static_cast<Fixed>(t0 + span * i / kTableIntervals);
    WritePixel(table_ + i * targetCount_, 1, &t);
  }
}

int32_t ShadingColour::TableIndex(Fixed t) const {
  const Fixed low = std::min(t0_, t1_), high = std::max(t0_, t1_);
  t = std::clamp(t, low, high);
  const int64_t span = static_cast<int64_t>(t1_) - t0_;
  if (span == 0) return 0;
  // (t - t0) / (t1 - t0) in 16.16, both differences in 64 bits: a Domain
  // wider than 128 would overflow the 32-bit shift.
  const int64_t ratio = ((static_cast<int64_t>(t) - t0_) << 16) / span;
  const int64_t index = (ratio * kTableIntervals + 0x8000) >> 16;
  return static_cast<int32_t>(std::clamp<int64_t>(index, 0, kTableIntervals));
}

}  // namespace color
