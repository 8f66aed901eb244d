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
#include "streams/MemoryDataSource.h"

namespace {

// Bounds per input, so that one run stays short.
constexpr int32_t kMaxPages = 200;

struct Holder {
  runtime::LibraryContext* context;
  pdf::Document* document = nullptr;
  ~Holder() { runtime::DestroyAndFree(context, document); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static runtime::LibraryContext context;
  context.memory.hardLimit = 256u << 20;
  if (size > (1u << 24)) return 0;
  runtime::CatchAllExceptCancel(&context, [&] {
    Holder holder{&context};
    auto source = streams::MakeRef<streams::MemoryDataSource>(&context, data,
                                                              static_cast<uint32_t>(size));
    holder.document = pdf::Document::Open(&context, std::move(source));
    pdf::Document& document = *holder.document;
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
