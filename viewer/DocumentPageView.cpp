#include "viewer/DocumentPageView.h"

#include "runtime/ErrorTrap.h"
#include "viewer/ActionRunner.h"
#include "viewer/PendingDestination.h"

namespace viewer {

namespace {

// The whole file is at hand: every page's record may be read. The first
// one is read now, so that the view starts knowing a page's size.
pdf::PageInfoTable& ReadyTable(pdf::PageInfoTable& table) {
  table.AvailablePages().Add(0, table.PageCount());
  if (table.PageCount() > 0) table.Get(0, true);
  return table;
}

}  // namespace

DocumentPageView::DocumentPageView(runtime::LibraryContext* context, pdf::Document& document,
                                   runtime::HostServices* host, runtime::HostWindow* window, const MarginPoint& view,
                                   int32_t dpi)
    : table_(context, document, document.GetPageCount()),
      sizes_(ReadyTable(table_)),
      region_(context, document, host, window),
      view_(context, sizes_, &region_, view, dpi) {
  // The opening destination as the viewer applies it; a broken one leaves
  // the first page.
  PendingDestination opening(context);
  opening.FillFromOpenAction(document);
  ActionRunner actions(context, document, view_, host);
  runtime::CatchAllExceptCancel(context, [&] { actions.ApplyPendingDestination(opening); });
  view_.RefreshLayout();
}

}  // namespace viewer
