// The viewer's routing of pen events by window: the divider between the
// bookmark tree and the page view, the page view's pen, the double tap that
// leaves full screen, and the focus a tap moves.
#include "runtime/ErrorTrap.h"
#include "runtime/HostControls.h"
#include "runtime/HostWindow.h"
#include "viewer/PageView.h"
#include "viewer/PenTarget.h"
#include "viewer/Viewer.h"

namespace viewer {

namespace {

// Runs one pen event's work; an error ends that event only.
template <class Body>
void RunPenEvent(runtime::LibraryContext* context, Body&& body) {
  runtime::ErrorTrap trap(context);
  if (!trap.Run(std::forward<Body>(body))) {
    trap.SetHandled();
    trap.Close();
  }
}

}  // namespace

void Viewer::OnMouseDown(int32_t x, int32_t y, runtime::HostWindow* window, bool doubleTap) {
  if (window == nullptr) return;
  if (window == buttonBar) {
    dividerY = y;
    dividerDrag = true;
  } else if (window == pageViewWindow) {
    if (doubleTap && fullScreen && (optionPocketPc || !bookmarksShown)) {
      SetFullScreen(false);
    } else if (penTarget != nullptr) {
      RunPenEvent(context, [&] { RunPageViewRequest([&] { penTarget->PenDown(x, y); }); });
    }
  }
  runtime::HostWindow* tree = bookmarkTree;
  if ((window == pageViewWindow || (tree != nullptr && window == tree)) && window != penFocus) {
    penFocus = window;
    window->Focus();
  }
}

void Viewer::OnMouseMove(int32_t x, int32_t y, runtime::HostWindow* window) {
  if (window == nullptr) return;
  if (window == buttonBar && dividerDrag) {
    if (y != dividerY) {
      splitPosition += y - dividerY;
      dividerY = y;
    }
  } else if (window == pageViewWindow && penTarget != nullptr) {
    // The page view's thread takes the latest move between its tasks.
    if (ownedPageView != nullptr && pageView == ownedPageView) {
      RunPenEvent(context, [&] {
        RunPageViewRequest([&] { ownedPageView->RequestPenMove(penTarget, x, y); }, false);
      });
    } else {
      RunPenEvent(context, [&] { RunPageViewRequest([&] { penTarget->PenMoveTo(x, y); }); });
    }
  }
}

void Viewer::OnMouseUp(int32_t x, int32_t y, runtime::HostWindow* window) {
  if (window == nullptr) return;
  if (window == buttonBar && dividerDrag) {
    dividerDrag = false;
    // The dragged divider takes effect, within its limits.
    RelayoutToContainer();
  } else if (window == pageViewWindow && penTarget != nullptr) {
    RunPenEvent(context, [&] { RunPageViewRequest([&] { penTarget->PenUpAt(x, y); }); });
  }
}

void Viewer::OnCaptureLost() {
  if (penTarget == nullptr) return;
  RunPenEvent(context, [&] { RunPageViewRequest([&] { penTarget->PenCaptureLost(); }); });
}

}  // namespace viewer
