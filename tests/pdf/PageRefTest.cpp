// Page references: the walk of the page tree from the catalog passes over
// kids of other types and refuses indexes it cannot reach.
#include <gtest/gtest.h>

#include <string>

#include "pdf/Document.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/RaisedCode.h"
#include "tests/support/SmallPdfFile.h"

namespace {

using testsupport::RaisedCode;

TEST(PageRefTest, PageReferenceSkipsKidsOfOtherTypes) {
  runtime::LibraryContext context;
  const std::string bytes = testsupport::SmallPdfFile({
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 2 >>",
      "<< /Type /Template >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] >>",
  });
  pdftest::OpenDocument document(&context, bytes);
  const runtime::ObjectReference first = document->GetPageRef(0);
  EXPECT_EQ(first.number, 4u);
  EXPECT_EQ(first.generation, 0u);
  EXPECT_EQ(document->GetPageRef(1).number, 5u);
  EXPECT_EQ(RaisedCode([&] { document->GetPageRef(2); }), 2u);
  EXPECT_EQ(RaisedCode([&] { document->GetPageRef(-1); }), 2u);
}

}  // namespace
