#pragma once
// The destination end of a pixel pipeline: the rows of the target buffer's
// planes (shape, alpha, colour) positioned on the current row, the row
// sinks that follow the rows, the optional clip walker, and the pipeline
// that produces the pixels.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/ClipRowWalker.h"
#include "runtime/PixelBuffer.h"
#include "runtime/PixelPipeline.h"

namespace runtime {

// One destination plane and its current row.
struct RowTarget {
  uint8_t* row = nullptr;  // null when the plane is absent or the row lies outside it
  PlaneView plane;
};

// Something else that follows the rows of a paint: the pipeline's sources,
// a coverage row, a mask.
class RowSink {
 public:
  virtual void SetRow(int32_t y) = 0;
  virtual void NextRow() = 0;

 protected:
  ~RowSink() = default;
};

class OutputTargets {
 public:
  // The targets are the destination's shape, alpha and colour planes, in
  // that order.
  OutputTargets(ArenaAllocator& arena, PixelPipeline& pipeline, const PixelBuffer& destination,
                ClipRowWalker* walker);

  void AddSink(RowSink& sink) { sinks_.PushBack(&sink); }
  // Positions every target, sink and the walker on row y / the next row.
  void SetRow(int32_t y);
  void NextRow();

  static constexpr uint32_t kShape = 0;
  static constexpr uint32_t kAlpha = 1;
  static constexpr uint32_t kColour = 2;
  const RowTarget& Target(uint32_t i) const { return targets_[i]; }
  PixelPipeline& Pipeline() const { return pipeline_; }
  ClipRowWalker* Walker() const { return walker_; }
  int32_t Row() const { return row_; }

 private:
  void PositionTargets();

  RowTarget targets_[3];
  ArenaVector<RowSink*> sinks_;
  PixelPipeline& pipeline_;
  ClipRowWalker* walker_;
  int32_t row_ = 0;
};

}  // namespace runtime
