#pragma once
// The dasher sits between a path and the stroker: it cuts each sub-path
// into the on intervals of the dash pattern, starting at the phase, and
// hands every interval on as a sub-path of its own. Patterns that would
// look solid (gaps the caps close, near-zero periods, negative entries)
// and patterns that make no progress along a path are not dashed.
#include <cstdint>

#include "raster/SegmentPath.h"
#include "raster/Stroker.h"

namespace raster {

class Dasher final : public SubpathConsumer {
 public:
  // More dashes than this on one sub-path could not be told from a solid
  // line at any zoom a view offers; such a sub-path is stroked solid.
  static constexpr int64_t kMaxDashesPerSubpath = 1 << 20;

  Dasher(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, const StrokeParameters& params,
         SubpathConsumer& next);

  void ProcessPath(const SegmentPath& path, uint32_t flags) override;

  bool Bypass() const { return bypass_; }
  Fixed ThresholdA() const { return thresholdA_; }
  Fixed ThresholdB() const { return thresholdB_; }
  // The phase reduced into [0, period).
  Fixed ReducedPhase() const { return phase_; }

 private:
  bool GapsWithin(Fixed threshold) const;
  void Emit(const SegmentPath& dash, uint32_t flags);
  bool InvisibleOutside(const SegmentPath& source, PathPosition from, PathPosition to) const;

  runtime::LibraryContext* context_;
  const StrokeParameters& params_;
  SubpathConsumer& next_;
  SegmentPath output_;
  SegmentPath kept_;
  bool bypass_ = false;
  Fixed period_ = 0;
  Fixed phase_ = 0;
  Fixed thresholdA_ = 0, thresholdB_ = 0;
};

}  // namespace raster
