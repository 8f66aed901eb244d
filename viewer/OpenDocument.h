#pragma once
// One document as the viewer holds it, from the moment its file is opened
// until another document replaces it: the file, the open job that reads
// it, and, once the job hands it over, the document with its page records
// and the page sizes the page view lays out.
//
// The viewer keeps two: the one being opened and the one shown. Destroying
// an OpenDocument stops its open job first (the job may still use the
// document), then frees the page records and the document.
#include <cstdint>

#include "pdf/Document.h"
#include "pdf/PageInfoTable.h"
#include "runtime/LibraryContext.h"
#include "runtime/ThreadHandle.h"
#include "streams/DataSource.h"
#include "viewer/DocumentPageSizes.h"
#include "viewer/PendingDestination.h"

namespace viewer {

class OpenDocument {
 public:
  OpenDocument(runtime::LibraryContext* context, streams::DataStoreRef file);
  ~OpenDocument();
  OpenDocument(const OpenDocument&) = delete;
  OpenDocument& operator=(const OpenDocument&) = delete;

  // Takes the opened and authorised document (owned from now on, also when
  // this raises), builds its page records and reads page 0, so that the
  // first layout shows the first page at its own size. Every page is taken
  // as available: the whole file is at hand. The document's opening
  // destination is captured for the page view to apply.
  void Install(pdf::Document* document);

  // Null until Install.
  pdf::Document* Document() const { return document_; }
  pdf::PageInfoTable* Pages() const { return pages_; }
  DocumentPageSizes* PageSizes() const { return sizes_; }
  int32_t PageCount() const { return pages_ != nullptr ? pages_->PageCount() : 0; }
  // Where the document asks to open; the page view that applies it empties
  // it, so that it is applied once.
  PendingDestination& OpeningDestination() { return opening_; }

  // The open job reading this document.
  runtime::ThreadHandle job;

 private:
  void Release();

  runtime::LibraryContext* context_;
  streams::DataStoreRef file_;
  pdf::Document* document_ = nullptr;
  pdf::PageInfoTable* pages_ = nullptr;
  DocumentPageSizes* sizes_ = nullptr;
  PendingDestination opening_;
};

}  // namespace viewer
