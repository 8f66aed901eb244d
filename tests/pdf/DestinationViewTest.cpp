// The view part of explicit destinations: kind, numbers with their present
// flags, the page rectangle of the right page, and malformed arrays.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pdf/Destination.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/RaisedCode.h"
#include "tests/support/SmallPdfFile.h"

namespace {

using testsupport::RaisedCode;

// Pages 0..2 are in the layout; page p's rectangle is (p, 10p, 100p, 1000p).
class ThreePageView final : public pdf::DestinationViewer {
 public:
  bool IsPageInRange(int32_t page) const override { return page >= 0 && page < 3; }
  int32_t CurrentPage() const override { return 1; }
  void PageRectOnDevice(int32_t page, int32_t rect[4]) const override {
    rect[0] = page;
    rect[1] = 10 * page;
    rect[2] = 100 * page;
    rect[3] = 1000 * page;
  }
};

TEST(DestinationViewTest, ReadsKindNumbersAndPageRectangle) {
  struct Case {
    const char* array;
    int32_t page;
    const char* kind;
    std::vector<uint8_t> present;
    std::vector<runtime::Fixed> parameters;  // where present
    int32_t rectPage;
  };
  const Case cases[] = {
      {"[0 /XYZ 10 20]", 2, "XYZ", {1, 1, 0, 0}, {10 << 16, 20 << 16, 7, 7}, 2},
      {"[0 /XYZ null -20 null]", 0, "XYZ", {0, 1, 0, 0}, {7, -20 << 16, 7, 7}, 0},
      {"[0 /FitR 1 null 3 4 99]", 1, "FitR", {1, 0, 1, 1}, {1 << 16, 7, 3 << 16, 4 << 16}, 1},
      {"[0 /Fit]", 5, "Fit", {0, 0, 0, 0}, {7, 7, 7, 7}, 1},  // page 5 is not laid out
  };
  runtime::LibraryContext context;
  ThreePageView view;
  for (const Case& c : cases) {
    const std::string bytes = testsupport::SmallPdfFile({"<< /Type /Catalog >>", c.array});
    pdftest::OpenDocument document(&context, bytes);
    pdf::DestinationView record;
    for (runtime::Fixed& p : record.parameters) p = 7;  // untouched where absent
    pdf::Destination::ReadView(view, document->GetObject(2, 0), c.page, record);
    EXPECT_STREQ(record.kind, c.kind) << c.array;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(record.present[i], c.present[i]) << c.array << " #" << i;
      EXPECT_EQ(record.parameters[i], c.parameters[i]) << c.array << " #" << i;
    }
    EXPECT_EQ(record.pageRect[3], 1000 * c.rectPage) << c.array;
  }
}

TEST(DestinationViewTest, MalformedArraysFailAfterTheRectangle) {
  const char* arrays[] = {"[0]", "[0 5 1 2]", "[0 (XYZ)]", "[0 /XYZ (a)]", "[0 /XYZ 1 /Two]"};
  runtime::LibraryContext context;
  ThreePageView view;
  for (const char* array : arrays) {
    const std::string bytes = testsupport::SmallPdfFile({"<< /Type /Catalog >>", array});
    pdftest::OpenDocument document(&context, bytes);
    pdf::DestinationView record;
    EXPECT_EQ(RaisedCode([&] { pdf::Destination::ReadView(view, document->GetObject(2, 0), 2, record); }), 2u)
        << array;
    EXPECT_EQ(record.pageRect[2], 200) << array;
  }
}

}  // namespace
