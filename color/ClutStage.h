#pragma once
// A colour lookup table stage: a grid over up to four inputs with up to
// four outputs per grid point (last input fastest, outputs innermost),
// interpolated tetrahedrally (RGB to RGB), tetrahedrally over the last
// three of four inputs and linearly over the first (every four-input
// table), or over a simplex (everything else).
//
// Four-input tables are interpolated as the common colour-management
// engines do: CMYK profiles' tables are coarse (5 to 9 points a side) and
// steep in the dark inks, where a four-dimensional multilinear or simplex
// interpolation gives visibly different colours from theirs (up to 40
// levels of 255 with a 5-point table).
#include <cstdint>

#include "color/ContextArray.h"
#include "color/IccStage.h"

namespace color {

class ClutStage final : public IccStage {
 public:
  enum Variant : int32_t { kSimplex = 0, kTetrahedral = 1, kTetrahedralLinear = 2 };

  // `samples` holds outputs x product of the grid counts values; counts,
  // channel numbers and grids below 2 that do not add up are malformed
  // (runtime, 2).
  ClutStage(runtime::LibraryContext* context, const Fixed* samples, uint32_t sampleCount, uint32_t inputs,
            uint32_t outputs, const uint32_t* grid, Variant variant);
  // The stage with the interpolation the transform's spaces call for.
  static IccStageRef Create(runtime::LibraryContext* context, const Fixed* samples, uint32_t sampleCount,
                            uint32_t inputs, uint32_t outputs, const uint32_t* grid, uint32_t sourceSpace,
                            uint32_t destinationSpace);
  static Variant ChooseVariant(uint32_t inputs, uint32_t sourceSpace, uint32_t destinationSpace);

  bool IsIdentity() const override;
  void Apply(Fixed* v) const override;
  void ApplySpan(Fixed* vectors, uint32_t count) const override;
  uint32_t OwnSize() const override { return 76 + 4 * inputs_ + samples_.ByteSize(); }
  Variant InterpolationVariant() const { return variant_; }

 private:
  void Tetrahedral(Fixed* v) const;
  // kOutputs 0: outputs_ outputs; else exactly kOutputs (the loop unrolled).
  template <uint32_t kOutputs>
  void TetrahedralLinear(Fixed* v) const;
  void Simplex(Fixed* v) const;
  // Cell index and fraction of each input; returns the base sample index.
  template <uint32_t kInputs>
  uint32_t Locate(const Fixed* v, Fixed* fraction) const;

  ContextArray<Fixed> samples_;
  uint32_t inputs_;
  uint32_t outputs_;
  uint32_t grid_[kMaxColorChannels] = {};
  uint32_t stride_[kMaxColorChannels] = {};
  Variant variant_;
};

}  // namespace color
