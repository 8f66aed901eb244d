#pragma once
// The colour of a shading at one point: the shading's functions (when it
// has them) turn the parametric input into components of the shading's
// colour space, a 16.16 converter takes them into the target's space, and
// each component is quantised to a byte. Axial and radial shadings read a
// table of 257 precomputed colours instead of evaluating per pixel.
#include <cstdint>

#include "color/ColorConverter.h"
#include "color/ShadingDict.h"
#include "color/ShadingRenderContext.h"

namespace color {

class ShadingColour {
 public:
  static constexpr int32_t kTableIntervals = 256;

  // Keeps the request; nothing here throws, so a rasteriser holding this
  // can be built safely inside an arena.
  ShadingColour(const ShadingRenderContext& render, const ShadingDict& dict) : render_(render.target), dict_(dict) {}
  // Makes the converter. (runtime, 2) when the shading has no colour space
  // or the target has too many components; (runtime, 0) when no converter
  // can be made.
  void Prepare();

  int32_t TargetCount() const { return targetCount_; }
  // Components `step` bytes apart from the input values (t, or (x, y), or
  // the colour components themselves when there is no function).
  void WritePixel(uint8_t* pixel, int32_t step, const Fixed* input);
  // The target components of the input values, as 16.16 values.
  const Fixed* Convert(const Fixed* input);

  // The table of entry i = colour at t0 + i (t1 - t0) / 256.
  void BuildTable(runtime::ArenaAllocator& arena, Fixed t0, Fixed t1);
  // The entry for t: t clamped into the Domain, then rounded onto 0..256
  // in 64-bit arithmetic, so a wide Domain never indexes past the table.
  int32_t TableIndex(Fixed t) const;
  void WriteEntry(uint8_t* pixel, int32_t step, int32_t index) const {
    const uint8_t* entry = table_ + index * targetCount_;
    for (int32_t c = 0; c < targetCount_; ++c) pixel[c * step] = entry[c];
  }

  // Positions between the table's entries, in 1/256 of an entry.
  static constexpr int32_t kTablePositions = kTableIntervals << 8;
  // The colour at `position` (0..kTablePositions) mixed from the two
  // entries around it: for shadings that ask for anti-aliasing, so that
  // neither a function's steps nor the table's own steps show as hard
  // bands where an entry spans several pixels.
  void WriteBetween(uint8_t* pixel, int32_t step, int32_t position) const {
    const int32_t index = position >> 8, weight = position & 0xFF;
    const uint8_t* low = table_ + index * targetCount_;
    if (weight == 0) {
      for (int32_t c = 0; c < targetCount_; ++c) pixel[c * step] = low[c];
      return;
    }
    const uint8_t* high = low + targetCount_;
    for (int32_t c = 0; c < targetCount_; ++c)
      pixel[c * step] = static_cast<uint8_t>((low[c] * (256 - weight) + high[c] * weight + 128) >> 8);
  }

 private:
  ShadingTarget render_;
  const ShadingDict& dict_;
  ColorConverterPtr converter_;
  int32_t sourceCount_ = 0;
  int32_t targetCount_ = 0;
  Fixed source_[ShadingDict::kMaxComponents] = {};
  Fixed target_[ShadingDict::kMaxComponents] = {};
  uint8_t* table_ = nullptr;
  Fixed t0_ = 0, t1_ = 0;
};

}  // namespace color
