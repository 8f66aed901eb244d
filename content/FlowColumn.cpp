#include "content/FlowColumn.h"

#include <algorithm>

#include "content/ReflowModel.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace content {

namespace {

constexpr runtime::Fixed kSpaceShare = 43909;  // about two thirds
constexpr uint32_t kMaxAddAttempts = 3;

}  // namespace

FlowColumn::FlowColumn(runtime::ArenaAllocator& arena, ReflowModel* model, runtime::Fixed viewWidth,
                       runtime::Fixed maxPictureHeight, runtime::Fixed margin)
    : arena_(arena),
      model_(model),
      maxPictureHeight_(maxPictureHeight),
      line_(arena, runtime::FixedSubSat(viewWidth, runtime::FixedAddSat(margin, margin))),
      margin_(margin),
      left_(margin) {}

void FlowColumn::AddElement(FlowElement& element, uint32_t depth) {
  // Each attempt places at least the line before the element, so the
  // third always finds an empty line; a fourth means the line never got
  // shorter.
  if (depth >= kMaxAddAttempts) runtime::ThrowRuntime(runtime::kOverflow);
  if (element.StartsSegment()) FlushLine(line_.Size(), true);
  if (!line_.IsEmpty() && !line_.Fits(element)) {
    FlushLine(line_.BreakPosition(), false);
    AddElement(element, depth + 1);
    return;
  }
  line_.Append(element);
}

void FlowColumn::MoveDown(runtime::Fixed d) { penY_ = runtime::FixedSubSat(penY_, d); }

void FlowColumn::FlushLine(uint32_t position, bool final) {
  if (line_.IsEmpty()) return;
  if (position > line_.Size()) position = line_.Size();
  bool ink = false;
  runtime::Fixed depth = 0;
  runtime::Fixed height = 0;
  for (uint32_t i = 0; i < position; ++i) {
    const FlowElement& element = line_.At(i);
    if (!element.IsInk()) continue;
    ink = true;
    depth = std::max(depth, element.Depth());
    height = std::max(height, element.Height());
  }
  if (ink) {
    MoveDown(pendingDepth_);
    pendingDepth_ = depth;
    MoveDown(height);
  }
  if (model_ != nullptr) model_->StartTextLine(penY_);
  line_.PlaceLine(left_, penY_, position);
  if (final && ink) {
    MoveDown(pendingDepth_);
    pendingDepth_ = 0;
    MoveDown(margin_);
  }
  if (model_ != nullptr) {
    model_->SetHeight(runtime::NegateSat(penY_));
    runtime::ChargeWork(model_->Context(), runtime::kWorkCostLight);
  }
}

runtime::Fixed FlowColumn::SpaceWidth() const {
  const uint32_t n = line_.Size();
  if (n == 0) return 0;
  if (n < 3) return line_.At(0).Width();
  runtime::Fixed inner = 0;
  for (uint32_t i = 1; i + 1 < n; ++i) inner = runtime::FixedAddSat(inner, line_.At(i).Width());
  return runtime::FixedDiv(runtime::FixedMul(kSpaceShare, inner), runtime::FixedFromIntSat(static_cast<int32_t>(n - 2)));
}

void FlowColumn::AddPicture(FlowPicture& picture) {
  const runtime::Rect box = picture.Box();
  const runtime::Fixed w = runtime::FixedSubSat(box.x1, box.x0);
  const runtime::Fixed h = runtime::FixedSubSat(box.y1, box.y0);
  const runtime::Fixed available = line_.AvailableWidth();
  const bool tall = maxPictureHeight_ > 0 && h >= maxPictureHeight_;
  if (tall) {
    FlushLine(line_.BreakPosition(), false);
  } else {
    FlushLine(line_.Size(), true);
  }
  runtime::Fixed scale = runtime::kFixedOne;
  bool centred = true;
  if (!(w < available) || tall) {
    const runtime::Fixed sx = w > 0 ? runtime::FixedDiv(available, w) : runtime::kFixedOne;
    const runtime::Fixed sy = tall ? runtime::FixedDiv(maxPictureHeight_, h) : runtime::kFixedOne;
    scale = std::min(sx, sy);
    centred = sy < sx;
  }
  runtime::Fixed offset = 0;
  if (centred) offset = runtime::FixedSubSat(available, runtime::FixedMul(scale, w)) / 2;
  MoveDown(runtime::FixedMul(scale, h));
  picture.Place(runtime::FixedAddSat(left_, offset), penY_, scale, true);
  MoveDown(margin_);
  if (model_ != nullptr) model_->SetHeight(runtime::NegateSat(penY_));
}

}  // namespace content
