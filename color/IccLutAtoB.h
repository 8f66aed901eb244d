#pragma once
// An "mAB " or "mBA " lookup tag: up to five elements (B curves, matrix,
// M curves, CLUT, A curves), each optional. "A" is the input side of
// "mAB " and the output side of "mBA ".
#include <cstdint>

#include "color/IccCurve.h"
#include "color/IccLutTag.h"
#include "color/Matrix3x4.h"
#include "color/SampleTable.h"

namespace color {

class IccLutAtoB final : public IccLutTag {
 public:
  IccLutAtoB(runtime::LibraryContext* context, bool aToB) : IccLutTag(context), aToB_(aToB) {}

  // Reads the body after its type signature and reserved word; the matrix
  // is normalised to the profile's illuminant when that works out.
  static streams::Ref<IccLutAtoB> Parse(runtime::LibraryContext* context, streams::DataStream& stream,
                                        const streams::DataStoreRef& source, bool aToB, const Fixed illuminant[3],
                                        uint32_t tagSize);

  bool IsLegacyLut() const override { return false; }
  bool IsLut8OrAToB() const override { return aToB_; }
  uint32_t MemorySize() const override;

  Matrix3x4 matrix = Matrix3x4::Identity();
  bool hasMatrix = false;
  streams::Ref<IccCurve> aCurves[kMaxChannels];
  streams::Ref<IccCurve> bCurves[kMaxChannels];
  streams::Ref<IccCurve> mCurves[kMaxChannels];
  uint32_t aCurveCount = 0, bCurveCount = 0, mCurveCount = 0;
  uint32_t grid[kMaxChannels] = {};
  SampleTable clut;  // empty when absent

 private:
  bool aToB_;
};

}  // namespace color
