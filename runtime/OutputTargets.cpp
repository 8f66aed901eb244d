#include "runtime/OutputTargets.h"

namespace runtime {

OutputTargets::OutputTargets(ArenaAllocator& arena, PixelPipeline& pipeline,
                             const PixelBuffer& destination, ClipRowWalker* walker)
    : sinks_(arena, 2), pipeline_(pipeline), walker_(walker) {
  targets_[kShape].plane = destination.shape;
  targets_[kAlpha].plane = destination.alpha;
  targets_[kColour].plane = destination.colour;
}

void OutputTargets::PositionTargets() {
  for (RowTarget& target : targets_) {
    const PlaneView& plane = target.plane;
    // A constant plane (one value for every pixel) takes no span writes.
    const bool writable = plane.IsPresent() && !plane.IsConstant();
    target.row = writable && plane.rect.y0 <= row_ && row_ < plane.rect.y1 ? plane.Row(row_) : nullptr;
  }
}

void OutputTargets::SetRow(int32_t y) {
  row_ = y;
  PositionTargets();
  for (RowSink* sink : sinks_) sink->SetRow(y);
  if (walker_ != nullptr) walker_->SetRow(y);
}

void OutputTargets::NextRow() {
  if (row_ != INT32_MAX) ++row_;
  PositionTargets();
  for (RowSink* sink : sinks_) sink->NextRow();
  if (walker_ != nullptr) walker_->NextRow();
}

}  // namespace runtime
