#include "content/RunView.h"

#include "content/ReflowModel.h"

namespace content {

RunView::RunView(ReflowModel& model, RunRecord& run, const runtime::Matrix& rotation, const runtime::Matrix& inverse)
    : model_(model),
      run_(run),
      rotation_(rotation),
      inverse_(inverse),
      rotated_(!(rotation == runtime::kIdentityMatrix)),
      recordsLines_(model.RecordsLines()) {}

void RunView::Shift(runtime::Fixed delta, uint32_t first, uint32_t last) {
  const uint32_t size = run_.entries.Size();
  const uint32_t end = last == 0 || last > size ? size : last;
  for (uint32_t i = first; i < end; ++i) {
    run_.entries[i].dy = runtime::FixedAddSat(run_.entries[i].dy, delta);
  }
}

void RunView::Remap() {
  if (!rotated_) return;
  // The offsets are distances, not points: the translation stays out.
  const runtime::Matrix linear{inverse_.a, inverse_.b, inverse_.c, inverse_.d, 0, 0};
  for (PlacementEntry& entry : run_.entries) runtime::Matrix::TransformPointInPlace(linear, entry.dx, entry.dy);
}

}  // namespace content
