#include "viewer/PageView.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "runtime/ErrorRecord.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "viewer/PagePlacement.h"
#include "viewer/ReflowPageSizes.h"
#include "viewer/ViewFrame.h"

namespace viewer {

using runtime::Fixed;
using runtime::Matrix;
using runtime::Rect64;

namespace {

int32_t SaturateToInt32(int64_t v) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// Whole pixels in 16.16, saturated to the Fixed range.
Fixed PixelsToFixedSat(int64_t v) {
  return static_cast<Fixed>(std::clamp<int64_t>(v, -32767, 32767) * 65536);
}

// The nearest whole pixel of a 16.16 value.
int64_t FixedToPixels(Fixed v) { return (static_cast<int64_t>(v) + 0x8000) >> 16; }

int64_t PixelDifference(int64_t a, int64_t b) {
  return runtime::Int64::AddSaturating(a, b == std::numeric_limits<int64_t>::min()
                                       ? std::numeric_limits<int64_t>::max()
                                       : -b);
}

int64_t PixelMidpoint(int64_t a, int64_t b) {
  return static_cast<int64_t>((static_cast<__int128>(a) + b) / 2);
}

// What reading a destination needs of the laid-out pages.
class LaidOutDestinationPages : public pdf::DestinationViewer {
 public:
  explicit LaidOutDestinationPages(const PageLayout& layout) : layout_(layout) {}
  bool IsPageInRange(int32_t page) const override { return layout_.IsPageInRange(page); }
  int32_t CurrentPage() const override { return std::max(layout_.mostVisiblePage, 0); }
  void PageRectOnDevice(int32_t page, int32_t rect[4]) const override {
    const Rect64 r = layout_.PageRect(page);
    rect[0] = SaturateToInt32(PixelDifference(r.x0, layout_.window.x0));
    rect[1] = SaturateToInt32(PixelDifference(r.y0, layout_.window.y0));
    rect[2] = SaturateToInt32(PixelDifference(r.x1, layout_.window.x0));
    rect[3] = SaturateToInt32(PixelDifference(r.y1, layout_.window.y0));
  }

 private:
  const PageLayout& layout_;
};

}  // namespace

PageView::PageView(runtime::LibraryContext* context, PageSizeSource& pages,
                   RenderScheduling* render, const MarginPoint& view, int32_t dpi,
                   int32_t firstPage)
    : context_(context),
      pages_(pages),
      render_(render),
      layout_(context),
      view_(view),
      dpi_(dpi > 0 ? dpi : kDefaultDpi),
      scaleX_(DeviceScale(dpi)),
      scaleY_(DeviceScale(dpi)),
      largestWidth_(pages.LargestWidth()),
      largestHeight_(pages.LargestHeight()) {
  const int32_t count = pages.PageCount();
  anchor_.page = std::clamp(firstPage, 0, std::max(count - 1, 0));
  anchor_.kind = kAnchorLayoutOffset;
  anchor_.viewX = anchor_.viewY = 6;
}

void PageView::LayOut(const Point64& offset) {
  PageLayoutParams p;
  p.view = view_;
  p.layoutMode = layoutMode_;
  p.requestedPage = anchor_.page;
  p.zoomMode = zoom_.mode;
  p.zoom = zoom_.factor;
  p.scaleX = scaleX_;
  p.scaleY = scaleY_;
  layout_.viewRotation = rotation_;
  layout_.windowFromPage = true;
  layout_.windowFromPageOffset = offset;
  ReflowPages* reflowed = IsReflowMode(layoutMode_) && render_ != nullptr ? render_->Reflow() : nullptr;
  if (reflowed == nullptr) {
    layout_.ComputeWithScrollBars(pages_, p);
    return;
  }
  // The pages are their reflowed columns, as wide as the view at the zoom
  // asked for, and upright.
  const Fixed zoom = zoom_.mode == kZoomExplicit || layout_.effectiveZoom <= 0 ? zoom_.factor : layout_.effectiveZoom;
  reflowed->SetColumn(ReflowPageSizes::ColumnWidth(p, zoom), ReflowPageSizes::ViewHeight(p, zoom));
  ReflowPageSizes columns(pages_, *reflowed);
  layout_.viewRotation = 0;
  layout_.ComputeWithScrollBars(columns, p);
}

void PageView::RefreshLayout() {
  if (laidOut_ && !paramsChanged_) return;
  if (pages_.PageCount() <= 0) {
    laidOut_ = true;
    paramsChanged_ = false;
    return;
  }
  const ViewAnchor a = anchor_;
  const int64_t px = a.kind == kAnchorLayoutOffset ? FixedToPixels(a.x) : 0;
  const int64_t py = a.kind == kAnchorLayoutOffset ? FixedToPixels(a.y) : 0;
  LayOut({PixelDifference(px, a.viewX), PixelDifference(py, a.viewY)});
  if (a.kind == kAnchorPageSpace && layout_.IsPageInRange(a.page)) {
    // The page's matrix is known only once it is laid out at the new zoom.
    int32_t column = 0, row = 0;
    layout_.PageCellOf(a.page, column, row);
    const Matrix& m = layout_.CellAt(column, row).pageMatrix;
    Fixed x = a.x, y = a.y;
    Matrix::TransformPointInPlace(m, x, y);
    LayOut({PixelDifference(FixedToPixels(x), a.viewX), PixelDifference(FixedToPixels(y), a.viewY)});
  }
  laidOut_ = true;
  paramsChanged_ = false;
  // The next layout keeps this position: the clamped page's corner where
  // it now shows.
  const int32_t kept = layout_.clampedPage;
  if (layout_.IsPageInRange(kept)) {
    const Rect64 r = layout_.PageRect(kept);
    anchor_ = {kept, kAnchorLayoutOffset, 0, 0, SaturateToInt32(PixelDifference(r.x0, layout_.window.x0)),
               SaturateToInt32(PixelDifference(r.y0, layout_.window.y0))};
  }
  if (render_ != nullptr) render_->UpdateRenderRequests(layout_);
}

int32_t PageView::CurrentPage() {
  RefreshLayout();
  return layout_.mostVisiblePage;
}

Fixed PageView::EffectiveZoom() {
  RefreshLayout();
  return layout_.effectiveZoom;
}

void PageView::SetAnchor(const ViewAnchor& anchor) {
  anchor_ = anchor;
  paramsChanged_ = true;
}

bool PageView::TryAnchorAt(int64_t x, int64_t y, int32_t kind, ViewAnchor& out) {
  RefreshLayout();
  if (pages_.PageCount() <= 0) return false;
  const Rect64& w = layout_.window;
  int32_t page = layout_.FindMostVisiblePage(w);
  if (!layout_.IsPageInRange(page)) page = layout_.clampedPage;
  if (!layout_.IsPageInRange(page)) return false;
  const Rect64 r = layout_.PageRect(page);
  out = {page,
         kind,
         PixelsToFixedSat(PixelDifference(runtime::Int64::AddSaturating(w.x0, x), r.x0)),
         PixelsToFixedSat(PixelDifference(runtime::Int64::AddSaturating(w.y0, y), r.y0)),
         SaturateToInt32(x),
         SaturateToInt32(y)};
  if (kind != kAnchorPageSpace) return true;
  int32_t column = 0, row = 0;
  layout_.PageCellOf(page, column, row);
  Matrix inverse;
  if (!Matrix::Invert(inverse, layout_.CellAt(column, row).pageMatrix)) return false;
  Matrix::TransformPointInPlace(inverse, out.x, out.y);
  return true;
}

ViewAnchor PageView::AnchorAtViewPoint(int64_t x, int64_t y, int32_t kind) {
  ViewAnchor a;
  if (!TryAnchorAt(x, y, kind, a)) {
    if (kind == kAnchorPageSpace && pages_.PageCount() > 0) runtime::ThrowRuntime(runtime::kMalformed);
    a = anchor_;
  }
  return a;
}

void PageView::AnchorViewCentre() {
  RefreshLayout();
  const int64_t cx = WindowWidth() / 2, cy = WindowHeight() / 2;
  ViewAnchor a;
  // A page point survives a change of zoom or rotation; a page whose
  // matrix has no inverse keeps its pixel offset instead.
  if (TryAnchorAt(cx, cy, kAnchorPageSpace, a) || TryAnchorAt(cx, cy, kAnchorLayoutOffset, a)) {
    SetAnchor(a);
  }
}

void PageView::ScrollBy(int64_t dx, int64_t dy) {
  RefreshLayout();
  if (pages_.PageCount() <= 0) return;
  const Point64 d = Point64::Rotate(AddViewRotation(0, -rotation_), {dx, dy});
  const Rect64 w = Rect64::OffsetSaturating(layout_.window, d.x, d.y);
  int32_t page = layout_.FindMostVisiblePage(w);
  if (!layout_.IsPageInRange(page)) page = layout_.clampedPage;
  const Rect64 r = layout_.PageRect(page);
  SetAnchor({page, kAnchorLayoutOffset, 0, 0, SaturateToInt32(PixelDifference(r.x0, w.x0)),
             SaturateToInt32(PixelDifference(r.y0, w.y0))});
}

bool PageView::Fits(int32_t page, bool continuousGroup) const {
  if (!layout_.IsPageInRange(page)) return false;
  const bool quarter = rotation_ == 90 || rotation_ == 270;
  // Two-up pages sit side by side, continuous ones one below the other.
  return quarter == continuousGroup ? layout_.FitsHorizontally(page) : layout_.FitsVertically(page);
}

void PageView::ScrollLine(ScrollDirection direction, int64_t amount, bool noPageTurn) {
  RefreshLayout();
  const int32_t count = pages_.PageCount();
  if (count <= 0 || amount <= 0) return;
  for (int32_t& m : leadMargins_) m = 0;
  leadMargins_[static_cast<int>(direction)] = LineLeadMargin(dpi_);
  const Rect64 w = ViewFrame::MapRect(layout_.frame, layout_.window);
  const Rect64 e = ViewFrame::MapRect(layout_.frame, layout_.content);
  const bool forward = direction == ScrollDirection::kDown || direction == ScrollDirection::kRight;
  const bool vertical = direction == ScrollDirection::kDown || direction == ScrollDirection::kUp;
  const int64_t room = vertical ? (forward ? e.y1 - w.y1 : w.y0 - e.y0)
                                : (forward ? e.x1 - w.x1 : w.x0 - e.x0);
  if (room > 0) {
    // The layout pulls a window that would pass the end back inside.
    const int64_t step = forward ? amount : -amount;
    ScrollBy(vertical ? 0 : step, vertical ? step : 0);
    return;
  }
  bool turn = false;
  const int32_t first = layout_.firstPage;
  if (IsTwoUpMode(layoutMode_)) {
    const int32_t right = first + 1;
    turn = (!noPageTurn && static_cast<int64_t>(first) + 1 < count - 1) ||
           (right == count - 1 && right != layout_.mostVisiblePage && !Fits(right, false));
  } else if (IsSinglePageMode(layoutMode_)) {
    turn = !noPageTurn && first < count - 1;
  }
  if (!turn) return;
  if (forward) {
    NextPage();
  } else {
    PreviousPage();
  }
  RefreshLayout();
  // The window meets the new layout's edge it came from.
  const Rect64 nw = ViewFrame::MapRect(layout_.frame, layout_.window);
  const Rect64 ne = ViewFrame::MapRect(layout_.frame, layout_.content);
  const int64_t shift = vertical ? (forward ? ne.y0 - nw.y0 : ne.y1 - nw.y1)
                                 : (forward ? ne.x0 - nw.x0 : ne.x1 - nw.x1);
  if (shift != 0) ScrollBy(vertical ? 0 : shift, vertical ? shift : 0);
}

void PageView::ScrollHalf(ScrollDirection direction) {
  ScrollLine(direction, HalfLineAmount(dpi_), false);
}

void PageView::ScrollThumbTo(bool verticalBar, int64_t position, int64_t page, int64_t range) {
  RefreshLayout();
  const int32_t count = pages_.PageCount();
  if (count <= 0) return;
  const ThumbPosition t = ClampThumb(position, page, range);
  const ThumbAxis axis = ThumbAxisFor(rotation_, verticalBar);
  const Rect64& w = layout_.window;
  int64_t x = w.x0, y = w.y0;
  if (axis.layoutY) {
    y = runtime::Int64::AddSaturating(layout_.content.y0, ThumbToLayout(t, axis.fromFarEnd, WindowHeight()));
  } else {
    x = runtime::Int64::AddSaturating(layout_.content.x0, ThumbToLayout(t, axis.fromFarEnd, WindowWidth()));
  }
  const int32_t column = layout_.ColumnAtPosition(x);
  const int32_t row = layout_.RowAtPosition(y);
  const int64_t index = static_cast<int64_t>(layout_.firstPage) +
                        static_cast<int64_t>(row) * layout_.columns + column;
  const int32_t target = static_cast<int32_t>(std::clamp<int64_t>(index, 0, count - 1));
  int64_t left = layout_.ColumnPosition(column), top = layout_.RowPosition(row);
  if (layout_.IsPageInRange(target)) {
    const Rect64 r = layout_.PageRect(target);
    left = r.x0;
    top = r.y0;
  }
  SetAnchor({target, kAnchorLayoutOffset, 0, 0, SaturateToInt32(PixelDifference(left, x)),
             SaturateToInt32(PixelDifference(top, y))});
}

bool PageView::PageToViewMatrix(int32_t page, Matrix& out) {
  if (!layout_.IsPageInRange(page)) return false;
  // The placement the page's bitmap is drawn with, moved to where that
  // bitmap is shown in the window.
  PagePlacement placement;
  if (!PagePlacement::Build(layout_, page, placement)) return false;
  out = placement.matrix;
  const Rect64 r = layout_.PageRect(page);
  out.e = runtime::FixedAddSat(out.e, PixelsToFixedSat(PixelDifference(r.x0, layout_.window.x0)));
  out.f = runtime::FixedAddSat(out.f, PixelsToFixedSat(PixelDifference(r.y0, layout_.window.y0)));
  return true;
}

void PageView::ScrollRectIntoView(int32_t page, const runtime::Rect& rect, int32_t code,
                                  int32_t margin) {
  const int32_t turnedCode = TurnAlignment(code, rotation_);
  RefreshLayout();
  if (page < 0 || page >= pages_.PageCount()) return;
  const bool wasInGrid = layout_.IsPageInRange(page);
  if (!wasInGrid) {
    GoToPage(page, true);
    RefreshLayout();
  }
  Matrix m;
  if (!PageToViewMatrix(page, m) || !Matrix::CanTransformRect(m, rect)) return;
  const runtime::Rect r = Matrix::TransformRectBounds(rect, m);
  const int64_t x0 = r.x0 >> 16, y0 = r.y0 >> 16;
  const int64_t x1 = runtime::FixedToIntCeil(r.x1), y1 = runtime::FixedToIntCeil(r.y1);
  const int64_t width = WindowWidth(), height = WindowHeight();
  if (turnedCode == kAlignIfHidden && wasInGrid && x0 - margin >= 0 && y0 - margin >= 0 &&
      x1 + margin <= width && y1 + margin <= height) {
    return;
  }
  int64_t placedX = 0, placedY = 0;
  const bool moveX = PlaceOnAxis(turnedCode, false, x0, x1, width, margin, placedX);
  const bool moveY = PlaceOnAxis(turnedCode, true, y0, y1, height, margin, placedY);
  if (!moveX && !moveY) return;
  // The window's corner after the move, in layout pixels.
  const Rect64& w = layout_.window;
  const int64_t nx = moveX ? runtime::Int64::AddSaturating(w.x0, PixelDifference(x0, placedX)) : w.x0;
  const int64_t ny = moveY ? runtime::Int64::AddSaturating(w.y0, PixelDifference(y0, placedY)) : w.y0;
  const Rect64 pr = layout_.PageRect(page);
  SetAnchor({page, kAnchorLayoutOffset, 0, 0, SaturateToInt32(PixelDifference(pr.x0, nx)),
             SaturateToInt32(PixelDifference(pr.y0, ny))});
}

void PageView::ZoomToRect(const Rect64& rect) {
  RefreshLayout();
  if (pages_.PageCount() <= 0) return;
  const Fixed factor = ZoomToRectFactor(layout_.effectiveZoom, WindowWidth(), WindowHeight(),
                                        PixelDifference(rect.x1, rect.x0), PixelDifference(rect.y1, rect.y0));
  ViewAnchor a;
  if (!TryAnchorAt(PixelMidpoint(rect.x0, rect.x1), PixelMidpoint(rect.y0, rect.y1), kAnchorPageSpace, a)) return;
  a.viewX = SaturateToInt32(WindowWidth() / 2);
  a.viewY = SaturateToInt32(WindowHeight() / 2);
  zoom_.Set(kZoomExplicit, factor);
  SetAnchor(a);
}

void PageView::AnchorPagePoint(int32_t page, bool useX, Fixed x, bool useY, Fixed y) {
  // The page's corner first, at the zoom now asked for, so that its matrix
  // is known.
  SetAnchor({page, kAnchorLayoutOffset, 0, 0, 0, 0});
  RefreshLayout();
  Matrix m;
  if (!PageToViewMatrix(page, m)) return;
  Matrix inverse;
  if (!Matrix::Invert(inverse, m)) runtime::ThrowRuntime(runtime::kMalformed);
  Fixed px = x, py = y;
  Matrix::TransformPointInPlace(m, px, py);
  const Rect64 pr = layout_.PageRect(page);
  const int64_t cornerX = PixelDifference(pr.x0, layout_.window.x0);
  const int64_t cornerY = PixelDifference(pr.y0, layout_.window.y0);
  // The page's corner is never passed: the offset inside the page is at
  // least 0.
  const int64_t offX = useX ? std::max<int64_t>(PixelDifference(FixedToPixels(px), cornerX), 0) : 0;
  const int64_t offY = useY ? std::max<int64_t>(PixelDifference(FixedToPixels(py), cornerY), 0) : 0;
  SetAnchor({page, kAnchorLayoutOffset, 0, 0, SaturateToInt32(-offX), SaturateToInt32(-offY)});
}

void PageView::GoToDestination(const pdf::DestinationView& d) {
  const int32_t count = pages_.PageCount();
  if (d.page < 0 || d.page >= count) {
    runtime::ThrowError(context_, runtime::ErrorRecord{runtime::kViewerDomain, 1, 0});
  }
  const bool reflow = IsReflowMode(layoutMode_);
  const int32_t savedMode = layoutMode_;
  const ZoomState savedZoom = zoom_;
  if (reflow) {
    layoutMode_ = kLayoutSinglePage;
    zoom_.Set(kZoomExplicit, runtime::kFixedOne);
    paramsChanged_ = true;
  }
  auto is = [&](const char* name) { return std::strcmp(d.kind, name) == 0; };
  auto given = [&](int i) { return d.present[i] != 0 && d.parameters[i] != kDestinationNull; };
  if (is("XYZ")) {
    if (given(2) && d.parameters[2] != 0 && !reflow && zoom_.Set(kZoomExplicit, d.parameters[2])) {
      paramsChanged_ = true;
    }
    AnchorPagePoint(d.page, given(0), d.parameters[0], given(1), d.parameters[1]);
  } else if (is("Fit") || is("FitB") || is("FitV") || is("FitBV")) {
    if (zoom_.Set(kZoomFitPage, zoom_.factor)) paramsChanged_ = true;
    SetAnchor({d.page, kAnchorLayoutOffset, 0, 0, 0, 0});
  } else if (is("FitH") || is("FitBH")) {
    if (zoom_.Set(kZoomFitWidth, zoom_.factor)) paramsChanged_ = true;
    AnchorPagePoint(d.page, false, 0, given(0), d.parameters[0]);
  } else if (is("FitR")) {
    GoToPage(d.page, true);
    RefreshLayout();
    Matrix m;
    const runtime::Rect r{DestinationValue(d.present[0] != 0, d.parameters[0], 0),
                          DestinationValue(d.present[1] != 0, d.parameters[1], 0),
                          DestinationValue(d.present[2] != 0, d.parameters[2], 0),
                          DestinationValue(d.present[3] != 0, d.parameters[3], 0)};
    if (PageToViewMatrix(d.page, m) && Matrix::CanTransformRect(m, r)) {
      const runtime::Rect v = Matrix::TransformRectBounds(r, m);
      // Rounded edges keep a rectangle without width or height so.
      ZoomToRect({FixedToPixels(v.x0), FixedToPixels(v.y0), FixedToPixels(v.x1), FixedToPixels(v.y1)});
    }
  }
  if (reflow) {
    RefreshLayout();
    layoutMode_ = savedMode;
    zoom_ = savedZoom;
    paramsChanged_ = true;
  }
}

void PageView::GoToDestinationArray(pdf::Document& document, const runtime::ObjectHandle& array,
                                    int32_t currentPage) {
  RefreshLayout();
  const pdf::DestinationTarget target = pdf::Destination::Parse(document, array, currentPage);
  if (target.pageIndex < 0) return;
  pdf::DestinationView destination;
  destination.page = target.pageIndex;
  pdf::Destination::ReadView(LaidOutDestinationPages(layout_), array, target.pageIndex, destination);
  GoToDestination(destination);
}

void PageView::AfterViewChange(ViewChangeSink& sink) {
  const ScrollBarRecord bars = ScrollBars();
  sink.SetScrollBars(bars);
  sink.ShowPageAndZoom(pages_.PageCount() > 0 ? CurrentPage() : -1, layout_.effectiveZoom);
}

ScrollBarRecord PageView::ScrollBars() {
  RefreshLayout();
  const Rect64 w = ViewFrame::MapRect(layout_.frame, layout_.window);
  const Rect64 e = ViewFrame::MapRect(layout_.frame, layout_.content);
  ScrollBarRecord bars;
  bars.horizontal = ScrollBarFor(PixelDifference(w.x0, e.x0), PixelDifference(w.x1, w.x0), PixelDifference(e.x1, e.x0));
  bars.vertical = ScrollBarFor(PixelDifference(w.y0, e.y0), PixelDifference(w.y1, w.y0), PixelDifference(e.y1, e.y0));
  return bars;
}

void PageView::GoToPage(int32_t page, bool skipIfCurrent) {
  if (page < 0 || page >= pages_.PageCount()) return;
  if (skipIfCurrent && page == CurrentPage()) return;
  int32_t viewX = 0;
  if (layoutMode_ == kLayoutSinglePage) {
    RefreshLayout();
    // The horizontal position stays.
    const int32_t shown = layout_.firstVisiblePage;
    if (layout_.IsPageInRange(shown)) {
      viewX = SaturateToInt32(PixelDifference(layout_.PageRect(shown).x0, layout_.window.x0));
    }
  }
  SetAnchor({page, kAnchorLayoutOffset, 0, 0, viewX, 0});
}

void PageView::DoSetZoom(int32_t mode, Fixed factor) {
  if (mode < kZoomExplicit || mode > kZoomFitPage) return;
  AnchorViewCentre();
  if (zoom_.Set(mode, factor)) paramsChanged_ = true;
}

bool PageView::SetZoomFromFloat(int32_t mode, double factor) {
  Fixed z = 0;
  if (!ZoomFromFloat(factor, z)) return false;
  DoSetZoom(mode, z);
  return true;
}

void PageView::SetViewSize(int32_t width, int32_t height) {
  RefreshLayout();
  // A new width reflows the column: what is being read moves elsewhere
  // on its page unless it is put back.
  ReadingPositionKeeper* keeper = IsReflowMode(layoutMode_) ? reading_ : nullptr;
  if (keeper != nullptr) keeper->RecordReadingPosition();
  view_.width = std::max(width, 0);
  view_.height = std::max(height, 0);
  paramsChanged_ = true;
  if (keeper != nullptr) keeper->RestoreReadingPosition();
}

void PageView::StepZoomBy(bool in) {
  RefreshLayout();
  if (pages_.PageCount() <= 0) return;
  Fixed next = 0;
  if (!StepZoom(layout_.effectiveZoom, in, next)) return;
  const bool linkShown = FocusedLinkVisible();
  AnchorViewCentre();
  zoom_.Set(kZoomExplicit, next);
  paramsChanged_ = true;
  KeepFocusedLink(linkShown);
}

void PageView::Rotate(int32_t degrees) {
  const bool linkShown = FocusedLinkVisible();
  AnchorViewCentre();
  rotation_ = AddViewRotation(rotation_, degrees);
  std::swap(largestWidth_, largestHeight_);
  pages_.SetViewRotation(rotation_);
  if (render_ != nullptr) render_->InvalidateAll();
  paramsChanged_ = true;
  KeepFocusedLink(linkShown);
}

bool PageView::FocusedLinkVisible() {
  int32_t page = -1;
  runtime::Rect rect;
  if (linkSource_ == nullptr || !linkSource_->FocusedLinkRect(page, rect)) return false;
  RefreshLayout();
  Matrix m;
  if (!PageToViewMatrix(page, m) || !Matrix::CanTransformRect(m, rect)) return false;
  const runtime::Rect r = Matrix::TransformRectBounds(rect, m);
  return r.x1 > 0 && r.y1 > 0 && (r.x0 >> 16) < WindowWidth() && (r.y0 >> 16) < WindowHeight();
}

void PageView::KeepFocusedLink(bool wasVisible) {
  int32_t page = -1;
  runtime::Rect rect;
  if (!wasVisible || linkSource_ == nullptr || !linkSource_->FocusedLinkRect(page, rect)) return;
  RefreshLayout();
  ScrollRectIntoView(page, rect, kAlignIfHidden, 2);
}

void PageView::SetLayoutMode(int32_t mode) {
  if (mode < kLayoutSinglePage || mode > kLayoutReflowContinuousAlt) return;
  RefreshLayout();
  const bool linkShown = FocusedLinkVisible();
  // Into or out of the reflow modes the text moves: a visible focused
  // link is kept in sight, else the text being read.
  ReadingPositionKeeper* keeper =
      !linkShown && IsReflowMode(mode) != IsReflowMode(layoutMode_) ? reading_ : nullptr;
  if (keeper != nullptr) keeper->RecordReadingPosition();
  if (IsReflowMode(mode) && !IsReflowMode(layoutMode_) && pages_.PageCount() > 0) {
    zoom_.Set(kZoomExplicit, ReflowEntryZoom(layout_.effectiveZoom));
    paramsChanged_ = true;
  }
  if (mode != layoutMode_) {
    layoutMode_ = mode;
    paramsChanged_ = true;
  }
  RefreshLayout();
  KeepFocusedLink(linkShown);
  if (keeper != nullptr) keeper->RestoreReadingPosition();
}

PagingInput PageView::Paging() {
  RefreshLayout();
  const int32_t current = layout_.mostVisiblePage;
  // Without a page top in the window the current page stands for it.
  const int32_t top = layout_.topPage >= 0 ? layout_.topPage : current;
  return {layoutMode_, layout_.firstPage, current, top, pages_.PageCount()};
}

void PageView::NextPage() {
  const PagingInput in = Paging();
  const PagingStep s = NextPageStep(in, [&](int32_t p) { return Fits(p, IsContinuousMode(in.layoutMode)); });
  if (s.go) GoToPage(s.page, s.skipIfCurrent);
}

void PageView::PreviousPage() {
  const PagingInput in = Paging();
  const PagingStep s =
      PreviousPageStep(in, [&](int32_t p) { return Fits(p, IsContinuousMode(in.layoutMode)); });
  if (s.go) GoToPage(s.page, s.skipIfCurrent);
}

bool PageView::CanGoNext() {
  const PagingInput in = Paging();
  if (in.count <= 0) return false;
  if (IsContinuousMode(in.layoutMode)) return in.top < in.count - 1;
  const PagingStep s = NextPageStep(in, [&](int32_t p) { return Fits(p, false); });
  return s.go && s.page != in.current;
}

bool PageView::CanGoPrevious() {
  const PagingInput in = Paging();
  if (in.count <= 0) return false;
  if (IsContinuousMode(in.layoutMode)) return in.current > 0;
  const PagingStep s = PreviousPageStep(in, [&](int32_t p) { return Fits(p, false); });
  return s.go && s.page != in.current;
}

PageViewState PageView::State() const {
  PageViewState s;
  const int32_t count = pages_.PageCount();
  s.hasDocument = true;
  s.hasCurrentPage = count > 0 && layout_.mostVisiblePage >= 0;
  s.penTool = penTool_;
  s.fitMode = zoom_.mode;
  s.layoutMode = layoutMode_;
  s.pageCount = count;
  s.currentPage = std::max(layout_.mostVisiblePage, 0);
  s.firstViewPage = layout_.firstPage;
  const bool quarter = rotation_ == 90 || rotation_ == 270;
  auto whole = [&](int32_t p) {
    return layout_.IsPageInRange(p) &&
           (quarter ? layout_.FitsHorizontally(p) : layout_.FitsVertically(p));
  };
  s.firstPageWhollyInView = count > 0 && whole(0);
  s.lastPageWhollyInView = count > 0 && whole(count - 1);
  s.viewWidth = view_.width;
  s.viewHeight = view_.height;
  return s;
}

void PageView::SetPenTool(uint32_t tool) {
  if (tool == penTool_) return;
  const uint32_t old = penTool_;
  penTool_ = tool;
  if (host_ != nullptr) runtime::RunOnMainStack(context_, [&] { host_->SetOemIgnoreApp(old, tool); });
}

}  // namespace viewer
