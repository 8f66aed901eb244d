#include "viewer/DocumentPageView.h"

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
  view_.RunOpenAction(document);
  view_.RefreshLayout();
}

}  // namespace viewer
