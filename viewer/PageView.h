#pragma once
// The model of what the viewer shows of one open document: which pages, at
// which zoom, in which layout and rotation, and where the window lies over
// them. Every change is recorded as a pending anchor and a changed mark;
// the next refresh lays the pages out so that the anchor's page point lands
// at its place in the view. Rendering is reached only through
// RenderScheduling.
#include <cstdint>

#include "pdf/Destination.h"
#include "pdf/Document.h"
#include "runtime/Fixed.h"
#include "runtime/HostServices.h"
#include "runtime/LibraryContext.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"
#include "runtime/Rect64.h"
#include "viewer/FocusedLinkSource.h"
#include "viewer/PageLayout.h"
#include "viewer/PageLayoutParams.h"
#include "viewer/PageSizeSource.h"
#include "viewer/PageViewCommands.h"
#include "viewer/PageViewTaskThread.h"
#include "viewer/ReadingPositionKeeper.h"
#include "viewer/RenderScheduling.h"
#include "viewer/ViewAnchor.h"
#include "viewer/ViewChangeSink.h"
#include "viewer/ViewPositionMath.h"
#include "viewer/ZoomState.h"

namespace content {
class ReflowModel;
}

namespace viewer {

// What the host's scroll bars show.
struct ScrollBarRecord {
  ScrollBarAxis horizontal;
  ScrollBarAxis vertical;
};

class PageViewBusy;
class PenTarget;

class PageView : public PageViewCommands, private PageViewDeferredWork {
 public:
  // The document's pages come from `pages`; `render` may be null. The first
  // anchor puts page `firstPage` (clamped) with its corner at (6, 6).
  PageView(runtime::LibraryContext* context, PageSizeSource& pages, RenderScheduling* render,
           const MarginPoint& view, int32_t dpi, int32_t firstPage = 0);
  PageView(const PageView&) = delete;
  PageView& operator=(const PageView&) = delete;
  virtual ~PageView();

  // ---- The page view's thread (PageViewTasks.cpp) ----
  // Starts the thread that runs the page view's requests; without one
  // (no cooperative threads, or no stack left) requests run in place.
  void StartTaskThread();
  // Ends the thread (a request running there unwinds); requests then run
  // in place.
  void StopTaskThread();
  // The running thread, or null.
  PageViewTaskThread* TaskThread();
  // A new window size, applied by the thread's next pass (at once
  // without a thread, or on the thread itself).
  void RequestViewSize(int32_t width, int32_t height);
  // A pen move for `target`, applied likewise; a later move replaces one
  // not yet applied.
  void RequestPenMove(PenTarget* target, int64_t x, int64_t y);
  // The page view's busy state (null: none kept).
  void SetBusyState(PageViewBusy* busy) { busy_ = busy; }
  // Sets the busy state now, or with `deferred` leaves the value for the
  // thread's next pass.
  void SetTaskState(bool deferred, uint32_t value);
  // What the thread does between tasks, in this order: the pen move, the
  // window size, the busy value, then the view is laid out anew and the
  // render requests follow it (once, after all of them).
  void RunDeferredUpdates() override;

  // Lays the pages out again when anything changed; the pending anchor is
  // consumed and the position kept for the next refresh.
  void RefreshLayout();
  const PageLayout& Layout() const { return layout_; }
  int32_t CurrentPage();
  runtime::Fixed EffectiveZoom();

  // ---- Anchors and scrolling ----
  void SetAnchor(const ViewAnchor& anchor);
  // The anchor for the page under a view point (relative to the window).
  // In page space (kind 0) a page matrix without an inverse raises
  // (runtime, 2).
  ViewAnchor AnchorAtViewPoint(int64_t x, int64_t y, int32_t kind);
  void ScrollBy(int64_t dx, int64_t dy);
  // At the end of the laid-out pages, single-page and two-up modes turn
  // the page unless `noPageTurn`.
  void ScrollLine(ScrollDirection direction, int64_t amount, bool noPageTurn);
  void ScrollHalf(ScrollDirection direction);
  // A scroll bar's thumb moved.
  void ScrollThumbTo(bool verticalBar, int64_t position, int64_t page, int64_t range);
  // Brings a rectangle of the page (page space) into the window by an
  // alignment code 0..5 with a margin in pixels.
  void ScrollRectIntoView(int32_t page, const runtime::Rect& rect, int32_t code, int32_t margin);
  // Zooms so that a rectangle of the view (pixels) fills the window.
  void ZoomToRect(const runtime::Rect64& rect);
  // A destination's page, fit kind and parameters (the zoom of "XYZ" is
  // its third). A page outside the document raises ("PDFViewer", 1).
  void GoToDestination(const pdf::DestinationView& destination);
  // An explicit destination array: its page (null stands for
  // `currentPage`), then its fit kind and numbers read against the laid-out
  // pages. (runtime, 2) for a malformed array.
  void GoToDestinationArray(pdf::Document& document, const runtime::ObjectHandle& array, int32_t currentPage);
  // Page space to pixels relative to the window's top-left corner; false
  // when the page is not laid out.
  bool PageToViewMatrix(int32_t page, runtime::Matrix& out);
  // In the reflow modes: page `page` as reflowed, with `toPage` mapping
  // its reflow space into the space PageToViewMatrix places (the column in
  // points, upwards from its foot). Null in other modes or when the page
  // cannot be reflowed; the model lasts until the next layout.
  const content::ReflowModel* ReflowedPage(int32_t page, runtime::Matrix& toPage);
  ScrollBarRecord ScrollBars();
  // After a change has been laid out: the scroll bars, then the current
  // page and the effective zoom, go to `sink`.
  void AfterViewChange(ViewChangeSink& sink);

  // ---- Paging, zoom, rotation, layout ----
  void GoToPage(int32_t page, bool skipIfCurrent) override;
  void DoSetZoom(int32_t mode, runtime::Fixed factor);
  // A zoom from the settings or another program (a float factor): refused
  // when not finite or not positive, clamped to the zoom limits. False when
  // refused.
  bool SetZoomFromFloat(int32_t mode, double factor);
  void SetViewSize(int32_t width, int32_t height);
  int32_t Rotation() const { return rotation_; }
  // The document's largest page, swapped on every quarter turn.
  runtime::Fixed LargestWidth() const { return largestWidth_; }
  runtime::Fixed LargestHeight() const { return largestHeight_; }
  // A screen whose pixels are not square has a scale of its own along
  // each axis (device pixels per point, 16.16).
  void SetDeviceScale(runtime::Fixed x, runtime::Fixed y) {
    scaleX_ = x;
    scaleY_ = y;
    paramsChanged_ = true;
  }
  runtime::Fixed DeviceScaleX() const { return scaleX_; }
  runtime::Fixed DeviceScaleY() const { return scaleY_; }
  int32_t LayoutMode() const { return layoutMode_; }
  const ZoomState& Zoom() const { return zoom_; }
  bool ParamsChanged() const { return paramsChanged_; }
  bool CanGoNext();
  bool CanGoPrevious();

  // ---- PageViewCommands ----
  PageViewState State() const override;
  void ZoomIn() override { StepZoomBy(true); }
  void ZoomOut() override { StepZoomBy(false); }
  void SetZoom(int32_t fitMode, runtime::Fixed factor) override { DoSetZoom(fitMode, factor); }
  // A change of tool is told to the host (when there is one), which keeps
  // other programs' pen handling off while the zoom rectangle is on.
  void SetPenTool(uint32_t tool) override;
  void SetHost(runtime::HostServices* host) { host_ = host; }
  // A focused link visible before a zoom step, a turn or a change of
  // layout mode is brought back into the window after it (null: none).
  void SetFocusedLinkSource(FocusedLinkSource* source) { linkSource_ = source; }
  // In the reflow modes a new window size, and across the reflow modes'
  // edge a new layout mode, keep the text being read in place through
  // `keeper` (null: they keep nothing).
  void SetReadingPositionKeeper(ReadingPositionKeeper* keeper) { reading_ = keeper; }
  void RotateLeft() override { Rotate(270); }
  void RotateRight() override { Rotate(90); }
  void SetLayoutMode(int32_t mode) override;
  void NextPage() override;
  void PreviousPage() override;
  void FirstPage() override { GoToPage(0, false); }
  void LastPage() override { GoToPage(pages_.PageCount() - 1, false); }
  void Scroll(ScrollDirection direction, int64_t pixels) override {
    ScrollLine(direction, pixels, false);
  }
  bool HasPendingWork() const override {
    return (render_ != nullptr && render_->HasPendingWork()) ||
           (taskThread_ != nullptr && taskThread_->HasPendingWork());
  }
  void HoldPaint() override { ++paintHolds_; }
  void ReleasePaint() override {
    if (paintHolds_ > 0) --paintHolds_;
  }
  void MarkQueuedRequests() override {}
  void FlushInvalidRect() override {
    if (render_ != nullptr && paintHolds_ == 0) render_->FlushInvalidRect();
  }
  void UpdateAfterRequest() override { RefreshLayout(); }
  void ResizeView(int32_t width, int32_t height) override { RequestViewSize(width, height); }
  bool PaintVisibleCells(runtime::ViewSurface& surface, const runtime::HostRect& clip) override {
    RefreshLayout();
    return render_ != nullptr && render_->PaintVisibleCells(surface, clip);
  }

 private:
  void StepZoomBy(bool in);
  // The anchor for the page under a view point; false when no page is laid
  // out there or, in page space, the page matrix has no inverse.
  bool TryAnchorAt(int64_t x, int64_t y, int32_t kind, ViewAnchor& out);
  // Puts a page point (either axis may be left at the page's edge) at the
  // window's top-left corner, never past the page's corner.
  void AnchorPagePoint(int32_t page, bool useX, runtime::Fixed x, bool useY, runtime::Fixed y);
  PagingInput Paging();
  void Rotate(int32_t degrees);
  void AnchorViewCentre();
  void LayOut(const Point64& offset);
  int64_t WindowWidth() const { return layout_.window.x1 - layout_.window.x0; }
  int64_t WindowHeight() const { return layout_.window.y1 - layout_.window.y0; }
  bool Fits(int32_t page, bool continuousTest) const;
  // Whether the focused link meets the window now; then, after a change,
  // it is scrolled back into it.
  bool FocusedLinkVisible();
  void KeepFocusedLink(bool wasVisible);

  runtime::LibraryContext* context_;
  PageSizeSource& pages_;
  RenderScheduling* render_;
  int32_t rotation_ = 0;
  PageLayout layout_;
  MarginPoint view_;
  int32_t dpi_;
  runtime::Fixed scaleX_, scaleY_;
  runtime::Fixed largestWidth_, largestHeight_;
  ZoomState zoom_;
  int32_t layoutMode_ = kLayoutContinuous;
  ViewAnchor anchor_;
  bool paramsChanged_ = true;
  bool laidOut_ = false;
  uint32_t penTool_ = kPenPan;
  runtime::HostServices* host_ = nullptr;
  uint32_t paintHolds_ = 0;
  FocusedLinkSource* linkSource_ = nullptr;
  ReadingPositionKeeper* reading_ = nullptr;
  // Lead margins by scroll direction (left, right, up, down): the one of
  // the last line scroll's direction.
  int32_t leadMargins_[4] = {};
  PageViewTaskThread* taskThread_ = nullptr;
  // Left for the thread's next pass.
  struct PendingMove {
    bool present = false;
    PenTarget* target = nullptr;
    int64_t x = 0, y = 0;
  } pendingMove_;
  struct PendingSize {
    bool present = false;
    int32_t width = 0, height = 0;
  } pendingSize_;
  PageViewBusy* busy_ = nullptr;

 public:
  const int32_t* LeadMargins() const { return leadMargins_; }
  void SetLeadMargin(ScrollDirection direction, int32_t pixels) {
    leadMargins_[static_cast<int>(direction)] = pixels;
  }
  int32_t Dpi() const { return dpi_; }
};

}  // namespace viewer
