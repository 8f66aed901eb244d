#include "content/ReflowCommand.h"

#include "content/ReflowModel.h"

namespace content {

void RunShiftCommand::Shift(runtime::Fixed delta, uint32_t, uint32_t) {
  run_.placement.f = runtime::FixedAddSat(run_.placement.f, delta);
}

RepeatCommand::RepeatCommand(RunRecord& repeat, RunRecord* repeated)
    : repeat_(repeat), repeated_(repeated), operation_(repeat.start.operation) {}

void RepeatCommand::Complete() {
  if (done_) return;
  done_ = true;
  if (repeated_ == nullptr || repeated_ == &repeat_) return;
  repeat_.start = repeated_->start;
  repeat_.end = repeated_->end;
  repeat_.placement = repeated_->placement;
  repeat_.placed = repeated_->placed;
  repeat_.entries.Clear();
  for (const PlacementEntry& entry : repeated_->entries) repeat_.entries.PushBack(entry);
}

}  // namespace content
