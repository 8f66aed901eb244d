// The page tree, page boxes and linearised page access on hostile bytes:
// the input is a whole file. Counting the pages, reading each page's boxes
// and index, and every hint-table answer and byte range must end in values
// or an error record.
#include <cstddef>
#include <cstdint>

#include "pdf/Document.h"
#include "pdf/LinearizedPages.h"
#include "pdf/PageBoxes.h"
#include "pdf/PageTree.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "fuzz/FuzzDocument.h"

namespace {

// Bounds per input, so that one run stays short.
constexpr int32_t kMaxPages = 200;


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::WithDocument(data, size, [&](runtime::LibraryContext* contextPointer, pdf::Document& document) {
    runtime::LibraryContext& context = *contextPointer;
    const int32_t count = document.GetPageCount();
    for (int32_t index = 0; index < count && index < kMaxPages; ++index) {
      runtime::CatchAllExceptCancel(&context, [&] {
        const runtime::ObjectReference page = pdf::PageTree::FindPageRef(document, index);
        pdf::PageBoxes::Read(document.GetObject(page.number, page.generation));
        pdf::PageTree::IndexOfPage(document, page);
      });
    }
    if (document.LinearizedObject() == 0) return;
    const pdf::LinearizedPages pages(document);
    for (int32_t index = 0; index < pages.PageCount() && index < kMaxPages; ++index) {
      runtime::CatchAllExceptCancel(&context, [&] {
        const int64_t object = pages.ObjectOfPage(index);
        if (object > 0) pages.PageIndexOfObject(static_cast<uint32_t>(object));
        pages.PageRanges(index);
      });
    }
  });
  return 0;
}
