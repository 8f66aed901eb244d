#pragma once
// Conversions between CIE XYZ (scaled so that white has Y = 1.0) and the
// internal Lab encoding (L*/100, (a* + 128)/255, (b* + 128)/255).
#include "color/IccStage.h"

namespace color {

// The inverse of the Lab companding, Y from 100 L* on a 0..100 scale:
// ((t + 16) / 116)^3 above 8.0, t x 72/65536 below, odd around 0.
Fixed LabInverse(Fixed t);

class LabToXyzStage final : public IccStage {
 public:
  // Every white component must lie strictly between 0 and 2.0 (runtime, 2).
  LabToXyzStage(runtime::LibraryContext* context, const Fixed white[3]);
  bool IsIdentity() const override { return false; }
  void Apply(Fixed* v) const override;
  void ApplySpan(Fixed* vectors, uint32_t count) const override;
  StageKind Kind() const override { return kLabToXyz; }
  uint32_t OwnSize() const override { return 20; }

 private:
  void Convert(Fixed* v) const;

  Fixed white_[3];
};

class XyzToLabStage final : public IccStage {
 public:
  XyzToLabStage(runtime::LibraryContext* context, const Fixed white[3]);
  bool IsIdentity() const override { return false; }
  void Apply(Fixed* v) const override;
  StageKind Kind() const override { return kXyzToLab; }
  uint32_t OwnSize() const override { return 20; }

 private:
  Fixed white_[3];
};

}  // namespace color
