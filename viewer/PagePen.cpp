#include "viewer/PagePen.h"

#include <algorithm>
#include <utility>

#include "content/PageText.h"
#include "content/ReflowModel.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Matrix.h"
#include "viewer/ActionRunner.h"
#include "viewer/DocumentSelection.h"
#include "viewer/PageView.h"
#include "viewer/ViewPositionMath.h"

namespace viewer {

using runtime::Fixed;
using runtime::Rect64;

namespace {

Fixed PenPixelsToFixed(int64_t v) {
  return static_cast<Fixed>(std::clamp<int64_t>(v, -32767, 32767) * 65536);
}

int64_t PenFixedToPixels(Fixed v) {
  // At or above the largest whole pixel a coordinate stays there.
  if (v >= 0x7FFF8000) return 32768;
  return (static_cast<int64_t>(v) + 0x8000) >> 16;
}

Rect64 NormalizedRect64(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
}

runtime::Rect NormalizedRect(Fixed x0, Fixed y0, Fixed x1, Fixed y1) {
  return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
}

}  // namespace

PagePen::PagePen(PageView& view, pdf::Document& document, ActionRunner& actions, DocumentSelection& selection,
                 content::FontSource* fonts, content::TextFontSource* textFonts)
    : view_(view),
      document_(document),
      actions_(actions),
      selection_(selection),
      fonts_(fonts),
      textFonts_(textFonts) {}

bool PagePen::ViewToPage(int64_t x, int64_t y, PagePoint& out) {
  view_.RefreshLayout();
  const PageLayout& layout = view_.Layout();
  if (layout.pageCount <= 0 || layout.cellRange.x1 <= layout.cellRange.x0 ||
      layout.cellRange.y1 <= layout.cellRange.y0) {
    return false;
  }
  const int64_t lx = runtime::Int64::AddSaturating(layout.window.x0, x);
  const int64_t ly = runtime::Int64::AddSaturating(layout.window.y0, y);
  const int32_t column = std::clamp(layout.ColumnAtPosition(lx), layout.cellRange.x0, layout.cellRange.x1 - 1);
  const int32_t row = std::clamp(layout.RowAtPosition(ly), layout.cellRange.y0, layout.cellRange.y1 - 1);
  const int64_t index = static_cast<int64_t>(layout.firstPage) + static_cast<int64_t>(row) * layout.columns + column;
  const int32_t page = static_cast<int32_t>(std::clamp<int64_t>(index, 0, layout.pageCount - 1));
  runtime::Matrix m, inverse;
  if (!view_.PageToViewMatrix(page, m) || !runtime::Matrix::Invert(inverse, m)) return false;
  Fixed px = PenPixelsToFixed(x), py = PenPixelsToFixed(y);
  runtime::Matrix::TransformPointInPlace(inverse, px, py);
  out = {page, px, py};
  return true;
}

bool PagePen::PagePointToView(const PagePoint& point, int64_t& x, int64_t& y) {
  runtime::Matrix m;
  if (!view_.PageToViewMatrix(point.page, m)) return false;
  Fixed px = point.x, py = point.y;
  runtime::Matrix::TransformPointInPlace(m, px, py);
  x = PenFixedToPixels(px);
  y = PenFixedToPixels(py);
  return true;
}

const content::ReflowModel* PagePen::ReflowPoint(const PagePoint& point, Fixed& x, Fixed& y) {
  if (point.page < 0) return nullptr;
  runtime::Matrix toPage, inverse;
  const content::ReflowModel* model = view_.ReflowedPage(point.page, toPage);
  if (model == nullptr || !runtime::Matrix::Invert(inverse, toPage)) return nullptr;
  x = point.x;
  y = point.y;
  runtime::Matrix::TransformPointInPlace(inverse, x, y);
  return model;
}

bool PagePen::LinkHolds(const PageLink& link, const PagePoint& point) {
  Fixed x = 0, y = 0;
  if (const content::ReflowModel* model = ReflowPoint(point, x, y)) {
    return PageLink::HitTestReflowed(*model, link, point.page, x, y);
  }
  return PageLink::HitTest(link, point.page, point.x, point.y);
}

void PagePen::PenPress(uint32_t kind, int64_t x, int64_t y) {
  down_ = true;
  moved_ = false;
  kind_ = kind;
  pressX_ = x;
  pressY_ = y;
  press_ = PagePoint{};
  ViewToPage(x, y, press_);
  if (kind == kGesturePan) {
    if (linkFocusMode != kLinkFocusNone && TapLink(press_)) return;
    anchor_ = view_.AnchorAtViewPoint(x, y, kAnchorPageSpace);
    hasAnchor_ = true;
  } else if (kind == kGestureRubberBand) {
    band_ = {x, y, x, y};
  }
}

void PagePen::PenDown(int64_t x, int64_t y) { PenPress(view_.State().penTool, x, y); }

void PagePen::PenMove(int64_t x, int64_t y) {
  if (!down_) return;
  if (x != pressX_ || y != pressY_) moved_ = true;
  PagePoint point;
  const bool onPage = ViewToPage(x, y, point);
  if (kind_ == kGestureTextSelection) {
    if (onPage) ApplySelection(point);
  } else if (kind_ == kGestureRubberBand) {
    // The band's first corner stays on its spot of the page while the
    // view scrolls.
    int64_t cx = pressX_, cy = pressY_;
    if (press_.page >= 0) PagePointToView(press_, cx, cy);
    band_ = NormalizedRect64(cx, cy, x, y);
  } else if (hasAnchor_) {
    const int32_t lead = LineLeadMargin(view_.Dpi());
    if (x != anchor_.viewX) {
      const bool right = x > anchor_.viewX;
      view_.SetLeadMargin(ScrollDirection::kLeft, right ? lead : 0);
      view_.SetLeadMargin(ScrollDirection::kRight, right ? 0 : lead);
    }
    if (y != anchor_.viewY) {
      const bool down = y > anchor_.viewY;
      view_.SetLeadMargin(ScrollDirection::kUp, down ? lead : 0);
      view_.SetLeadMargin(ScrollDirection::kDown, down ? 0 : lead);
    }
    anchor_.viewX = static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX));
    anchor_.viewY = static_cast<int32_t>(std::clamp<int64_t>(y, INT32_MIN, INT32_MAX));
    view_.SetAnchor(anchor_);
    view_.RefreshLayout();
  } else if (focused_.Exists() && onPage) {
    // The link looks pressed only while the pen stays on it.
    SetFocusedLinkState(LinkHolds(focused_, point) ? 1 : 0);
  }
}

void PagePen::PenUp(int64_t x, int64_t y) {
  if (!down_) return;
  down_ = false;
  PagePoint point;
  const bool onPage = ViewToPage(x, y, point);
  if (kind_ == kGesturePan && hasAnchor_) {
    if (moved_) {
      anchor_.viewX = static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX));
      anchor_.viewY = static_cast<int32_t>(std::clamp<int64_t>(y, INT32_MIN, INT32_MAX));
      view_.SetAnchor(anchor_);
    } else {
      selection_.Clear();
    }
  } else if (kind_ == kGesturePan && focused_.Exists()) {
    if (onPage && LinkHolds(focused_, point)) ActivateFocusedLink(point);
    if (linkFocusMode != kLinkFocusTap) SetFocusedLink(PageLink{});
  } else if (kind_ == kGestureRubberBand) {
    const Rect64 band = band_;
    band_ = {0, 0, 0, 0};
    view_.ZoomToRect(band);
    if (view_.State().penTool == kPenZoomRectangle) view_.SetPenTool(kPenPan);
  } else if (kind_ == kGestureTextSelection && onPage) {
    ApplySelection(point);
  }
  hasAnchor_ = false;
}

void PagePen::PenRelease() {
  if (!down_) return;
  down_ = false;
  if (kind_ == kGestureRubberBand) {
    band_ = {0, 0, 0, 0};
  } else if (kind_ == kGestureTextSelection) {
    selection_.Clear();
  } else {
    hasAnchor_ = false;
    if (linkFocusMode != kLinkFocusTap) SetFocusedLink(PageLink{});
    SetFocusedLinkState(0);
  }
}

void PagePen::ActivateFocusedLink(const PagePoint&) {
  SetFocusedLinkState(0);
  const PageLink link = focused_;
  runtime::Rect bounds;
  if (!PageLink::BoundsInView(view_, link, bounds)) return;
  const PageLayout& layout = view_.Layout();
  const int64_t width = layout.window.x1 - layout.window.x0;
  const int64_t height = layout.window.y1 - layout.window.y0;
  // A link scrolled out of the window is not followed.
  if (bounds.x1 <= 0 || bounds.y1 <= 0 || (bounds.x0 >> 16) >= width || (bounds.y0 >> 16) >= height) return;
  actions_.FollowLink(link.page, link.annotation);
}

void PagePen::ApplySelection(const PagePoint& point) {
  if (press_.page < 0) return;
  Fixed x = 0, y = 0;
  if (const content::ReflowModel* model = ReflowPoint(press_, x, y)) {
    // A reflowed page shows its text where the reflow put it: each point
    // takes the glyph the reflow placed nearest to it. The second page is
    // looked up only once the first model is done with, since reflowing
    // it may make room by dropping the first.
    runtime::TextRange range;
    bool found = false;
    runtime::CatchAllExceptCancel(document_.Context(), [&] {
      found = model->PositionAt(press_.page, x, y, range.start);
      range.end = range.start;
      const content::ReflowModel* other = found ? ReflowPoint(point, x, y) : nullptr;
      if (other != nullptr) other->PositionAt(point.page, x, y, range.end);
    });
    if (!found) {
      selection_.Clear();
      return;
    }
    if (runtime::TextPosition::Greater(range.start, range.end)) std::swap(range.start, range.end);
    range.start.after = 0;
    range.end.after = 1;
    selection_.Set(range);
    return;
  }
  const runtime::Optional<runtime::TextRange> range = TextBetween(press_, point, kSelectBetweenPoints);
  if (range.HasValue()) {
    selection_.Set(*range);
  } else {
    selection_.Clear();
  }
}

runtime::Optional<runtime::TextRange> PagePen::TextBetween(const PagePoint& first, const PagePoint& second,
                                                           int32_t mode) {
  runtime::Optional<runtime::TextRange> none;
  if (fonts_ == nullptr || textFonts_ == nullptr) return none;
  PagePoint a = first, b = second;
  if (a.page > b.page) std::swap(a, b);
  content::SelectionQuery query;
  query.startPage = a.page;
  query.endPage = b.page;
  query.startMode = query.endMode = static_cast<uint32_t>(mode);
  query.pointAPage = a.page;
  query.pointA = {a.x, a.y};
  query.pointBPage = b.page;
  query.pointB = {b.x, b.y};
  if (a.page == b.page) {
    query.startRect = query.endRect = NormalizedRect(a.x, a.y, b.x, b.y);
  } else {
    // The first page runs from its point to the page's far corner as shown,
    // the last from the page's near corner to its point.
    auto corner = [&](int32_t page, bool farCorner, Fixed& cx, Fixed& cy) {
      cx = farCorner ? 0x7FFF0000 : -0x7FFF0000;
      cy = farCorner ? -0x7FFF0000 : 0x7FFF0000;
      runtime::Matrix m, inverse;
      if (!view_.Layout().IsPageInRange(page) || !view_.PageToViewMatrix(page, m) ||
          !runtime::Matrix::Invert(inverse, m)) {
        return;
      }
      const Rect64 r = view_.Layout().PageRect(page);
      const Rect64& w = view_.Layout().window;
      cx = PenPixelsToFixed((farCorner ? r.x1 : r.x0) - w.x0);
      cy = PenPixelsToFixed((farCorner ? r.y1 : r.y0) - w.y0);
      runtime::Matrix::TransformPointInPlace(inverse, cx, cy);
    };
    Fixed x = 0, y = 0;
    corner(a.page, true, x, y);
    query.startRect = NormalizedRect(a.x, a.y, x, y);
    corner(b.page, false, x, y);
    query.endRect = NormalizedRect(x, y, b.x, b.y);
  }
  return content::PageText::CollectPages(document_.Context(), document_, fonts_, textFonts_, query, mode);
}

runtime::Optional<runtime::TextRange> PagePen::TextInViewRect(const Rect64& rect, int32_t mode) {
  PagePoint a, b;
  if (!ViewToPage(rect.x0, rect.y0, a) || !ViewToPage(rect.x1, rect.y1, b)) return {};
  return TextBetween(a, b, mode);
}

bool PagePen::TapLink(const PagePoint& point) {
  if (linkFocusMode != kLinkFocusTap || point.page < 0) return false;
  Fixed rx = 0, ry = 0;
  const content::ReflowModel* model = ReflowPoint(point, rx, ry);
  // A reflowed page's links are where the reflow moved their words.
  PageLink link = model != nullptr ? PageLink::FindAtReflowed(document_, *model, point.page, rx, ry)
                                   : PageLink::FindAt(document_, point.page, point.x, point.y);
  if (!link.Exists()) return false;
  link.active = 1;
  SetFocusedLink(link);
  return true;
}

void PagePen::SetFocusedLink(const PageLink& link) {
  const PageLink before = focused_;
  focused_ = link;
  if (focusListener_ != nullptr) focusListener_->FocusedLinkChanged(before, focused_);
}

void PagePen::SetFocusedLinkState(uint16_t state) {
  if (!focused_.Exists() || focused_.active == state) return;
  const PageLink before = focused_;
  focused_.active = state;
  if (focusListener_ != nullptr) focusListener_->FocusedLinkChanged(before, focused_);
}

bool PagePen::FocusNextLink() {
  if (linkFocusMode == kLinkFocusNone) return false;
  PageLink next = PageLink::FindNext(view_, document_, &focused_, true);
  // After the last link on screen the first comes again.
  if (!next.Exists()) next = PageLink::FindNext(view_, document_, nullptr, true);
  if (!next.Exists()) return false;
  next.active = 0;
  SetFocusedLink(next);
  int32_t page = -1;
  runtime::Rect bounds;
  if (FocusedLinkRect(page, bounds)) {
    view_.ScrollRectIntoView(page, bounds, kAlignIfHidden, 2);
    view_.RefreshLayout();
  }
  return true;
}

bool PagePen::FocusedLinkRect(int32_t& page, runtime::Rect& rect) {
  if (!focused_.Exists()) return false;
  page = focused_.page;
  runtime::Matrix toPage;
  if (const content::ReflowModel* model = view_.ReflowedPage(page, toPage)) {
    // The page as shown is its column: the link's reflowed area there.
    runtime::Rect reflowed;
    if (!PageLink::ReflowedBounds(*model, focused_, reflowed) || !runtime::Matrix::CanTransformRect(toPage, reflowed)) {
      return false;
    }
    rect = runtime::Matrix::TransformRectBounds(reflowed, toPage);
    return true;
  }
  return runtime::CatchAllExceptCancel(document_.Context(), [&] { rect = PageLink::Bounds(focused_); });
}

bool PagePen::FollowFocusedLink() {
  if (!focused_.Exists()) return false;
  ActivateFocusedLink(PagePoint{});
  return true;
}

void PagePen::CheckFocusedLinkVisible() {
  view_.RefreshLayout();
  if (focused_.Exists() && view_.Layout().IsPageInRange(focused_.page)) {
    runtime::Rect bounds;
    const PageLayout& layout = view_.Layout();
    const runtime::Rect window{0, 0, PenPixelsToFixed(layout.window.x1 - layout.window.x0),
                               PenPixelsToFixed(layout.window.y1 - layout.window.y0)};
    if (PageLink::BoundsInView(view_, focused_, bounds) && runtime::Rect::Intersects(bounds, window)) return;
  }
  SetFocusedLink(PageLink::FindNext(view_, document_, nullptr, false));
}

}  // namespace viewer
