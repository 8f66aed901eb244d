#pragma once
// A curve given as a table of n samples over [0, 1.0], interpolated
// linearly; the inverse direction builds the inverted table once.
#include <cstdint>

#include "color/ContextArray.h"
#include "color/IccStage.h"

namespace color {

class SampledCurveStage final : public IccStage {
 public:
  // Keeps its own copy of the table (inverted when direction is 0).
  SampledCurveStage(runtime::LibraryContext* context, int32_t direction, const Fixed* table, uint32_t n,
                    int32_t channel);
  static IccStageRef Create(runtime::LibraryContext* context, int32_t direction, const Fixed* table, uint32_t n,
                            int32_t channel);

  bool IsIdentity() const override;
  void Apply(Fixed* v) const override { v[channel_] = Lookup(v[channel_]); }
  void ApplySpan(Fixed* vectors, uint32_t count) const override;
  uint32_t OwnSize() const override { return 36 + table_.ByteSize(); }
  int32_t Channel() const override { return channel_; }
  const ContextArray<Fixed>& Table() const { return table_; }

  // Linear interpolation in the table; inputs outside [0, 1.0] take the
  // end values.
  Fixed Lookup(Fixed v) const;

 private:
  void Invert();

  ContextArray<Fixed> table_;
  int32_t channel_;
};

}  // namespace color
