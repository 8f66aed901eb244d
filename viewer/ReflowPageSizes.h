#pragma once
// The page sizes the layout sees in the reflow modes: each page is its
// reflowed column, as wide as the column and as long as its reflowed text,
// upright whatever the page's own rotation. A page with nothing to
// reflow keeps its drawn size.
#include <cstdint>

#include "viewer/PageLayoutParams.h"
#include "viewer/PageSizeSource.h"
#include "viewer/ReflowPages.h"

namespace viewer {

class ReflowPageSizes final : public PageSizeSource {
 public:
  ReflowPageSizes(PageSizeSource& drawn, ReflowPages& reflowed) : drawn_(drawn), reflowed_(reflowed) {}

  int32_t PageCount() const override { return drawn_.PageCount(); }
  // A page the reflow finds nothing on is laid out as drawn.
  pdf::PageInfo Page(int32_t index) override {
    if (reflowed_.PageFlag(index, true) == 0) return drawn_.Page(index);
    pdf::PageInfo info;
    info.estimated = 0;
    info.box = {0, 0, reflowed_.ColumnWidth(), reflowed_.Length(index)};
    return info;
  }
  runtime::Fixed LargestWidth() const override { return reflowed_.ColumnWidth(); }
  runtime::Fixed LargestHeight() const override { return drawn_.LargestHeight(); }

  // The column's width in points for the view of `params` at `zoom`: the
  // view's width less the vertical bar (unless it is never shown) and the
  // gaps around one cell, at least one pixel.
  static runtime::Fixed ColumnWidth(const PageLayoutParams& params, runtime::Fixed zoom);
  // The view's height in points at `zoom`.
  static runtime::Fixed ViewHeight(const PageLayoutParams& params, runtime::Fixed zoom);

 private:
  PageSizeSource& drawn_;
  ReflowPages& reflowed_;
};

}  // namespace viewer
