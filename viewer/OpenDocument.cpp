#include "viewer/OpenDocument.h"

#include <utility>

#include "runtime/ErrorTrap.h"
#include "runtime/TransientBlocks.h"

namespace viewer {

OpenDocument::OpenDocument(runtime::LibraryContext* context, streams::DataStoreRef file)
    : job(context), context_(context), file_(std::move(file)), opening_(context) {}

OpenDocument::~OpenDocument() {
  // The job first: its thread may still be using the document.
  job.Destroy();
  Release();
}

void OpenDocument::Release() {
  opening_.Clear();
  if (sizes_ != nullptr) runtime::DestroyAndFree(context_, std::exchange(sizes_, nullptr));
  if (pages_ != nullptr) runtime::DestroyAndFree(context_, std::exchange(pages_, nullptr));
  if (document_ != nullptr) runtime::DestroyAndFree(context_, std::exchange(document_, nullptr));
}

void OpenDocument::Install(pdf::Document* document) {
  Release();
  document_ = document;
  const int32_t count = document_->GetPageCount();
  pages_ = runtime::NewObject<pdf::PageInfoTable>(context_, context_, *document_, count);
  if (count > 0) pages_->AvailablePages().Add(0, count);
  sizes_ = runtime::NewObject<DocumentPageSizes>(context_, *pages_);
  // A first page that cannot be read keeps the default record: the
  // document still opens, and the page shows its error when drawn.
  if (count > 0) runtime::CatchAllExceptCancel(context_, [&] { pages_->Load(0); });
  opening_.FillFromOpenAction(*document_);
}

}  // namespace viewer
