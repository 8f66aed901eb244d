#pragma once
// The page view of one open document together with what it draws with:
// the document's page table, the page sizes the layout reads, and the
// render region that draws the visible pages into host bitmaps. The
// opening destination has been followed and the first requests made when
// the constructor returns.
#include <cstdint>

#include "pdf/Document.h"
#include "pdf/PageInfoTable.h"
#include "runtime/HostServices.h"
#include "runtime/HostWindow.h"
#include "runtime/LibraryContext.h"
#include "viewer/DocumentPageSizes.h"
#include "viewer/PageView.h"
#include "viewer/RenderRegion.h"

namespace viewer {

class DocumentPageView {
 public:
  // `window` (may be null) is the page-view window the pages show in.
  DocumentPageView(runtime::LibraryContext* context, pdf::Document& document, runtime::HostServices* host,
                   runtime::HostWindow* window, const MarginPoint& view, int32_t dpi);
  DocumentPageView(const DocumentPageView&) = delete;
  DocumentPageView& operator=(const DocumentPageView&) = delete;

  PageView& View() { return view_; }
  RenderRegion& Render() { return region_; }

 private:
  pdf::PageInfoTable table_;
  DocumentPageSizes sizes_;
  RenderRegion region_;
  PageView view_;
};

}  // namespace viewer
