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
  // What the cost caches charge: the object itself, a curve list's head,
  // and each counted reference it holds.
  static constexpr uint32_t kOwnSize = 112;
  static constexpr uint32_t kCurveListHeadSize = 16;
  static constexpr uint32_t kReferenceSize = 24;

  IccLutAtoB(runtime::LibraryContext* context, bool aToB) : IccLutTag(context), aToB_(aToB) {}

  // Reads the body after its type signature and reserved word; the matrix
  // is normalised to the profile's illuminant when that works out.
  static streams::Ref<IccLutAtoB> Parse(runtime::LibraryContext* context, streams::DataStream& stream,
                                        const streams::DataStoreRef& source, bool aToB, const Fixed illuminant[3],
                                        uint32_t tagSize);

  bool IsLegacyLut() const override { return false; }
  bool IsLut8OrAToB() const override { return aToB_; }
  // Its own size, the CLUT, the three curve lists and the reference to the
  // profile data; curves held elsewhere too are charged to none of their
  // holders.
  uint32_t MemorySize() const override;
  static uint32_t CurveListSize(const streams::Ref<IccCurve>* curves);

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

// The multi-stage transform of an "mAB " or "mBA " tag, under the name the
// cost caches know it by.
using IccMultiStageTransform = IccLutAtoB;

}  // namespace color
