// Where a reflowed page's own space lies in its cell: the view places the
// cell as a page of the column's width and reflowed length, and the pen,
// the links and the marks of a reflowed page go through this mapping.
#include "content/ReflowModel.h"
#include "runtime/Fixed.h"
#include "viewer/PageOverlay.h"
#include "viewer/PageView.h"
#include "viewer/ReflowPages.h"
#include "viewer/RenderRegion.h"

namespace viewer {

const content::ReflowModel* PageView::ReflowedPage(int32_t page, runtime::Matrix& toPage) {
  if (!IsReflowMode(layoutMode_) || render_ == nullptr) return nullptr;
  ReflowPages* reflowed = render_->Reflow();
  // A page the reflow found nothing on is shown as drawn: its links and
  // marks stay in page space.
  if (reflowed == nullptr || reflowed->PageFlag(page, true) == 0) return nullptr;
  // The length first: it may reflow the page, which the model then finds
  // kept.
  const runtime::Fixed length = reflowed->Length(page);
  const content::ReflowModel* model = reflowed->Model(page);
  if (model == nullptr) return nullptr;
  // Reflow space is in the page's units with its top at 0 and y upwards;
  // the cell is in points with its top at the reflowed length.
  const runtime::Fixed unit = model->Unit();
  toPage = runtime::Matrix{unit, 0, 0, unit, 0, length};
  return model;
}

runtime::Matrix PageOverlay::ReflowToPixels(double dpi, runtime::Fixed unit) {
  // As the reflow painter draws the column: rows down from its top.
  const double scale = dpi * runtime::FixedToDouble(unit) / 72.0;
  const runtime::Fixed s = runtime::FixedFromFloat(scale);
  return runtime::Matrix{s, 0, 0, runtime::NegateSat(s), 0, 0};
}

const content::ReflowModel* RenderRegion::ReflowBitmapMatrix(int32_t page, runtime::Matrix& toPixels) {
  runtime::Matrix drawn;
  if (layout_ == nullptr || !IsReflowMode(layout_->params.layoutMode) || !BitmapMatrix(page, drawn)) return nullptr;
  if (reflowed_.PageFlag(page, true) == 0) return nullptr;
  const content::ReflowModel* model = reflowed_.Model(page);
  if (model == nullptr) return nullptr;
  toPixels = PageOverlay::ReflowToPixels(DotsPerInch(), model->Unit());
  return model;
}

}  // namespace viewer
