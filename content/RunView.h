#pragma once
// The view's handle on one reflowed run of text: what it needs to move the
// run's glyphs down the column (when lines above it change height) and to
// turn its placement offsets back into the run's own text space.
#include <cstdint>

#include "content/ReflowCommand.h"
#include "runtime/Matrix.h"

namespace content {

class ReflowModel;
struct RunRecord;

class RunView final : public ReflowCommand {
 public:
  // `rotation` turned the run's baseline to the horizontal; `inverse` maps
  // reflow-direction offsets back into the run's text space.
  RunView(ReflowModel& model, RunRecord& run, const runtime::Matrix& rotation, const runtime::Matrix& inverse);

  // Adds `delta` to the y offsets of entries [first, last) (last 0: to
  // the end).
  void Shift(runtime::Fixed delta, uint32_t first, uint32_t last) override;
  // Maps every entry's offsets by the inverse's linear part, for a run
  // whose baseline was rotated; other runs are left as they are.
  void Remap() override;
  void Complete() override {}

  RunRecord& Run() const { return run_; }
  const runtime::Matrix& Rotation() const { return rotation_; }
  const runtime::Matrix& Inverse() const { return inverse_; }
  bool Rotated() const { return rotated_; }
  // Line entries are recorded for the run (the view has a height).
  bool RecordsLines() const { return recordsLines_; }
  ReflowModel& Model() const { return model_; }

 private:
  ReflowModel& model_;
  RunRecord& run_;
  runtime::Matrix rotation_;
  runtime::Matrix inverse_;
  bool rotated_;
  bool recordsLines_;
};

}  // namespace content
