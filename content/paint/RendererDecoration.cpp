// Strokes a viewer draws on a page besides its content, through the same
// path painting as the content, in a state of their own.
#include "content/Renderer.h"
#include "content/paint/SavedPaintState.h"

namespace content {

void Renderer::StrokeDeviceRgb(std::span<const runtime::FixedPoint> points, const runtime::Matrix& matrix,
                               runtime::Fixed width, std::span<const runtime::Fixed> dashes,
                               const runtime::Fixed (&rgb)[3]) {
  if (points.empty()) return;
  SavedPaintState saved(*this, !inText_);
  StateCopy copy(*this);
  GraphicsState& state = State();
  state.ctm = matrix;
  state.stroke = runtime::StrokeStyle(Owner());
  state.stroke.width = width;
  if (!dashes.empty()) state.stroke.SetDash(dashes, 0);
  state.strokeAlpha = runtime::kFixedOne;
  state.blendMode = 0;
  SetColorSpace(ColorSpaceKind::kDeviceRgb, true, {});
  SetColor(true, 3, rgb, {});
  StrokePath(points);
  FlushAndYield();
}

}  // namespace content
