#pragma once
// A document in memory made of the given object bodies (numbered from 1),
// for tests that need functions and colour spaces as the document reads
// them: indirect references resolve and streams decode.
#include <string>
#include <vector>

#include "pdf/Document.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/SmallPdfFile.h"

namespace colortest {

class ObjectsDocument {
 public:
  ObjectsDocument(runtime::LibraryContext* context, const std::vector<std::string>& objects)
      : bytes_(testsupport::SmallPdfFile(objects)), document_(context, bytes_) {}

  pdf::Document& operator*() const { return *document_; }
  pdf::Document* Get() const { return &*document_; }
  runtime::ObjectHandle Object(uint32_t number) const { return document_->GetObject(number, 0); }

 private:
  std::string bytes_;
  pdftest::OpenDocument document_;
};

}  // namespace colortest
