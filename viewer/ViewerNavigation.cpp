// Moving through the document by keys and by page number: the arrow keys
// scroll half an inch, Home and End go to the first and last page, and the
// toolbar's page box goes to the page typed into it.
#include <cstdint>

#include "runtime/HostControls.h"
#include "runtime/HostServices.h"
#include "runtime/Scheduler.h"
#include "viewer/ViewPositionMath.h"
#include "viewer/Viewer.h"
#include "viewer/WideDecimal.h"

namespace viewer {
bool Viewer::AcceptsNavigationKey(const runtime::HostWindow* source) const {
  // Keys typed into another control (the page box, the tree) are theirs.
  return pageView != nullptr && (source == nullptr || source == pageViewWindow);
}

void Viewer::OnArrowKey(const runtime::HostWindow* source, ScrollDirection direction) {
  if (!AcceptsNavigationKey(source)) return;
  RunPageViewRequest([&] {
    int32_t dpi = 0;
    if (host != nullptr) runtime::RunOnMainStack(context, [&] { dpi = host->GetScreenDpi(); });
    if (dpi <= 0) dpi = kDefaultDpi;
    // The page view renders ahead by three halves of the step on that side.
    pageView->Scroll(direction, dpi / 2);
  });
}

void Viewer::OnHomeOrEnd(const runtime::HostWindow* source, bool end) {
  if (!AcceptsNavigationKey(source)) return;
  RunPageViewRequest([&] {
    const int32_t count = pageView->State().pageCount;
    pageView->GoToPage(end ? count - 1 : 0, true);
  });
}

void Viewer::GoToTypedPage(const runtime::HostWindow* control) {
  if (!documentOpen || pageView == nullptr || control == nullptr || control != pageNumberEdit) {
    return;
  }
  const char16_t* typed = u"";
  runtime::RunOnMainStack(context, [&] { typed = pageNumberEdit->TypedText(); });
  const uint32_t page = ParseWideDecimal(typed);
  const PageViewState state = pageView->State();
  if (page >= 1 && page <= static_cast<uint32_t>(state.pageCount)) {
    const int32_t index = static_cast<int32_t>(page - 1);
    // The box may show what was typed ("007") for the page it already
    // shows: it is written again.
    if (index == shownPage) {
      ForcePageNumberText();
      UpdatePageNumberText(shownPage, pageNumberFlags);
    }
    RunPageViewRequest([&] { pageView->GoToPage(index, true); });
    if (pageViewWindow != nullptr) {
      runtime::RunOnMainStack(context, [&] { pageViewWindow->Focus(); });
    }
    return;
  }
  ShowLocalizedMessage(page == 0 ? kTextPageNotPositive : kTextPageTooLarge);
  // The box shows the current page again.
  ForcePageNumberText();
  UpdatePageNumberText(shownPage, pageNumberFlags);
}

}  // namespace viewer
