#pragma once
// The page sizes of an open document for the page layout: its page
// records, each page read when first laid out and its bytes are there.
#include <cstdint>

#include "pdf/PageInfoTable.h"
#include "viewer/PageSizeSource.h"

namespace viewer {

class DocumentPageSizes : public PageSizeSource {
 public:
  explicit DocumentPageSizes(pdf::PageInfoTable& table) : table_(table) {}
  int32_t PageCount() const override { return table_.PageCount(); }
  pdf::PageInfo Page(int32_t index) override { return table_.Get(index, true); }
  runtime::Fixed LargestWidth() const override { return table_.LargestWidth(); }
  runtime::Fixed LargestHeight() const override { return table_.LargestHeight(); }
  void SetViewRotation(int32_t degrees) override { table_.SetViewRotation(degrees); }

 private:
  pdf::PageInfoTable& table_;
};

}  // namespace viewer
