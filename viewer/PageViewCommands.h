#pragma once
// What the viewer's commands, menus and keys ask of the page view of the
// open document, and what they read of it. The page view carries each
// request to its own cooperative thread; the viewer runs the scheduler
// around it (Viewer::RunPageViewRequest).
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/HostServices.h"
#include "viewer/PageLayoutParams.h"

namespace runtime {
class ViewSurface;
}

namespace viewer {

// Pen tools.
inline constexpr uint32_t kPenPan = 0;
inline constexpr uint32_t kPenZoomRectangle = 2;

enum class ScrollDirection : uint8_t { kLeft, kRight, kUp, kDown };

// The page view's state as the menus read it.
struct PageViewState {
  bool hasCurrentPage = false;
  bool hasDocument = false;
  uint32_t penTool = kPenPan;
  int32_t fitMode = kZoomExplicit;
  int32_t layoutMode = kLayoutSinglePage;
  int32_t pageCount = 0;
  int32_t currentPage = 0;
  // The first page of the view (two-up: its left page, -1 for the blank
  // cell before page 0).
  int32_t firstViewPage = 0;
  // Page 0 and the last page lie wholly inside the view (by the layout's
  // test for the view's rotation).
  bool firstPageWhollyInView = false;
  bool lastPageWhollyInView = false;
  // Size of the view rectangle in pixels.
  int32_t viewWidth = 0;
  int32_t viewHeight = 0;
};

class PageViewCommands {
 public:
  virtual PageViewState State() const = 0;

  virtual void ZoomIn() = 0;
  virtual void ZoomOut() = 0;
  virtual void SetZoom(int32_t fitMode, runtime::Fixed factor) = 0;
  virtual void SetPenTool(uint32_t tool) = 0;
  virtual void RotateLeft() = 0;
  virtual void RotateRight() = 0;
  virtual void SetLayoutMode(int32_t mode) = 0;
  virtual void NextPage() = 0;
  virtual void PreviousPage() = 0;
  virtual void FirstPage() = 0;
  virtual void LastPage() = 0;
  // Goes to page `page` (from 0); nothing for a page outside the document
  // or, with `skipIfCurrent`, for the current page.
  virtual void GoToPage(int32_t page, bool skipIfCurrent) = 0;
  virtual void Scroll(ScrollDirection direction, int64_t pixels) = 0;

  // What the request pump watches and does around a request (see
  // Viewer::RunPageViewRequest).
  // True while a task is posted or running or a wake-up is pending.
  virtual bool HasPendingWork() const = 0;
  // Holds painting back while a request runs; the count goes down at
  // ReleasePaint.
  virtual void HoldPaint() = 0;
  virtual void ReleasePaint() = 0;
  // Marks every queued render request as asked for by the user.
  virtual void MarkQueuedRequests() = 0;
  // Repaints the accumulated dirty rectangle when painting is not held.
  virtual void FlushInvalidRect() = 0;
  // The page-view window was given a new size.
  virtual void ResizeView(int32_t /*width*/, int32_t /*height*/) {}
  // After a request: the view is laid out for what it changed, and the
  // pages to draw follow it.
  virtual void UpdateAfterRequest() {}
  // Paints the page cells over `clip` of the page-view window; false when
  // there is nothing to paint them from.
  virtual bool PaintVisibleCells(runtime::ViewSurface& /*surface*/, const runtime::HostRect& /*clip*/) {
    return false;
  }

 protected:
  ~PageViewCommands() = default;
};

// Whether the page view can step to a next or a previous page, by layout
// mode: the two-up modes look at the pair on screen, the others at the
// current page.
bool CanGoNext(const PageViewState& state);
bool CanGoPrevious(const PageViewState& state);

}  // namespace viewer
