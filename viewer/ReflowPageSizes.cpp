#include "viewer/ReflowPageSizes.h"

#include <algorithm>

#include "viewer/PageLayout.h"

namespace viewer {

namespace {

// Pixels at `zoom` and `scale` (16.16 each) as points, at least a pixel's
// worth.
runtime::Fixed PixelsToPoints(int64_t pixels, runtime::Fixed zoom, runtime::Fixed scale) {
  const double perPoint =
      runtime::FixedToDouble(std::clamp(zoom, kMinZoom, kMaxZoom)) * runtime::FixedToDouble(std::max(scale, 1));
  return runtime::FixedFromFloat(static_cast<double>(std::max<int64_t>(pixels, 1)) / perPoint);
}

}  // namespace

runtime::Fixed ReflowPageSizes::ColumnWidth(const PageLayoutParams& params, runtime::Fixed zoom) {
  const MarginPoint& view = params.view;
  const int64_t bar = view.verticalPolicy != kBarNever ? std::max(view.verticalBarWidth, 0) : 0;
  const int64_t pixels =
      int64_t{view.width} - bar - PageLayout::GapTotal(params.layoutMode, 1) - 1;
  return PixelsToPoints(pixels, zoom, params.scaleX);
}

runtime::Fixed ReflowPageSizes::ViewHeight(const PageLayoutParams& params, runtime::Fixed zoom) {
  return PixelsToPoints(params.view.height, zoom, params.scaleY);
}

}  // namespace viewer
