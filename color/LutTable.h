#pragma once
// A legacy lookup table ("mft1" 8-bit, "mft2" 16-bit): a matrix, one input
// curve per input channel, a colour lookup table of grid^inputs x outputs
// samples (last input fastest, outputs innermost) and one output curve per
// output channel. Also the two tables built without a profile.
#include <cstdint>

#include "color/IccLutTag.h"
#include "color/Matrix3x4.h"
#include "color/SampleTable.h"

namespace color {

class LutTable final : public IccLutTag {
 public:
  static constexpr uint32_t kMaxCurveEntries = 4096;

  LutTable(runtime::LibraryContext* context, bool lut8) : IccLutTag(context), lut8_(lut8) {}

  // Reads an "mft1" (lut8) or "mft2" body after its type signature and
  // reserved word; `tagSize` is the tag table's size for it.
  static streams::Ref<LutTable> Parse(runtime::LibraryContext* context, streams::DataStream& stream,
                                      const streams::DataStoreRef& source, bool lut8, uint32_t tagSize);
  // Three channels, grid 2, identity matrix, no curves.
  static streams::Ref<LutTable> Identity(runtime::LibraryContext* context);
  // The 8-bit Lab table that clamps a* and b* to a colour space's Range:
  // range holds (min, max) of a* then of b*, in 16.16.
  static streams::Ref<LutTable> LabRangeClamp(runtime::LibraryContext* context, const Fixed range[4]);

  bool IsLegacyLut() const override { return true; }
  bool IsLut8OrAToB() const override { return lut8_; }
  uint32_t MemorySize() const override;

  uint32_t grid = 0;
  Matrix3x4 matrix;
  SampleTable inputCurves[kMaxChannels];
  SampleTable clut;
  SampleTable outputCurves[kMaxChannels];

 private:
  bool lut8_;
};

}  // namespace color
