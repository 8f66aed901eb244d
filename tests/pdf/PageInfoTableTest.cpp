// The per-page layout records: estimates copied forward from the last page
// read, runs that split and merge, and listeners told only of changes.
#include "pdf/PageInfoTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdf/Document.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/CaughtError.h"

namespace {

using runtime::FixedFromInt;

struct Recorder final : pdf::PageInfoListener {
  void OnPageInfoChanged(int32_t page) override { pages.push_back(page); }
  std::vector<int32_t> pages;
};

// Ten pages: page 5 is A4 turned by 90 degrees, page 7 is US Letter
// upright (the default record), the others 300 by 400.
std::string TenPages() {
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  std::string kids;
  for (uint32_t i = 0; i < 10; ++i) {
    std::string page = "<< /Type /Page /Parent 2 0 R";
    if (i == 5) page += " /MediaBox [0 0 595 842] /Rotate 90";
    if (i == 7) page += " /MediaBox [0 0 612 792]";
    writer.Object(3 + i, page + " >>");
    kids += std::to_string(3 + i) + " 0 R ";
  }
  writer.Object(2, "<< /Type /Pages /Count 10 /MediaBox [0 0 300 400] /Kids [" + kids + "] >>");
  writer.ClassicTable("/Root 1 0 R");
  return writer.Text();
}

TEST(PageInfoTableTest, LoadingAPageCopiesItsRecordForward) {
  runtime::LibraryContext context;
  const std::string bytes = TenPages();
  pdftest::OpenDocument document(&context, bytes);
  pdf::PageInfoTable table(&context, *document, 10);
  Recorder recorder;
  table.AddListener(&recorder);

  table.Load(5);
  const pdf::PageInfo a4{0, 90, {0, 0, FixedFromInt(595), FixedFromInt(842)}};
  for (int32_t page = 0; page < 10; ++page) {
    const pdf::PageInfo record = table.Get(page, false);
    if (page < 5) {
      EXPECT_EQ(record, pdf::PageInfoTable::kDefaultRecord) << page;
      EXPECT_EQ(record.estimated, 1) << page;
    } else {
      EXPECT_EQ(record, a4) << page;
      EXPECT_EQ(record.estimated, page == 5 ? 0 : 1) << page;
    }
  }
  EXPECT_EQ(recorder.pages, std::vector<int32_t>{5});
  // Turned by 90 degrees, the page is 842 wide.
  EXPECT_EQ(table.LargestWidth(), FixedFromInt(842));
  EXPECT_EQ(table.LargestHeight(), FixedFromInt(595));

  // Page 7 is not what its estimate (page 5's) showed: told.
  table.Load(7);
  EXPECT_EQ(recorder.pages, (std::vector<int32_t>{5, 7}));
  EXPECT_EQ(table.Get(7, false).estimated, 0);
  EXPECT_EQ(table.Get(8, false).rotation, 0);
  EXPECT_EQ(table.Get(6, false), a4);
  recorder.pages.clear();
  // Get loads only pages that are available.
  EXPECT_EQ(table.Get(2, true).estimated, 1);
  table.AvailablePages().Add(0, 10);
  EXPECT_EQ(table.Get(2, true).estimated, 0);
  EXPECT_EQ(recorder.pages, std::vector<int32_t>{2});
}

TEST(PageInfoTableTest, EnsureLoadedReadsOnlyEstimates) {
  runtime::LibraryContext context;
  const std::string bytes = TenPages();
  pdftest::OpenDocument document(&context, bytes);
  pdf::PageInfoTable table(&context, *document, 10);
  // Available or not, an estimated page is read; a page read before and a
  // page outside the document are not.
  EXPECT_TRUE(table.EnsureLoaded(5));
  EXPECT_EQ(table.Get(5, false).estimated, 0);
  EXPECT_EQ(table.Get(5, false).rotation, 90);
  EXPECT_FALSE(table.EnsureLoaded(5));
  EXPECT_TRUE(table.EnsureLoaded(6));
  EXPECT_FALSE(table.EnsureLoaded(-1));
  EXPECT_FALSE(table.EnsureLoaded(10));
}

TEST(PageInfoTableTest, RecordEqualToTheEstimateCallsNoListener) {
  runtime::LibraryContext context;
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
      .Object(2, "<< /Type /Pages /Count 2 /Kids [3 0 R 4 0 R] >>")
      .Object(3, "<< /Type /Page /Parent 2 0 R >>")
      .Object(4, "<< /Type /Page /Parent 2 0 R /Rotate 45 >>")
      .ClassicTable("/Root 1 0 R");
  const std::string bytes = writer.Text();
  pdftest::OpenDocument document(&context, bytes);
  pdf::PageInfoTable table(&context, *document, 2);
  Recorder recorder;
  table.AddListener(&recorder);
  table.Load(0);
  EXPECT_TRUE(recorder.pages.empty());
  EXPECT_EQ(table.Get(0, false).estimated, 0);
  // A page that fails to read leaves the table as it was.
  const auto before = table.Map().Runs().size();
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { table.Load(1); }), 2);
  EXPECT_EQ(table.Map().Runs().size(), before);
  EXPECT_EQ(table.Get(1, false).estimated, 1);
}

TEST(PageInfoTableTest, RunsSplitAndMerge) {
  runtime::LibraryContext context;
  pdf::PageInfoTable::RangeMap map(&context);
  pdf::PageInfo own{0, 90, {0, 0, FixedFromInt(1), FixedFromInt(1)}};
  map.Assign(3, 6, own);
  ASSERT_EQ(map.Runs().size(), 3u);
  EXPECT_EQ(map.Runs()[0].end, 3);
  EXPECT_EQ(map.Runs()[1].end, 6);
  EXPECT_EQ(map.Find(5).record.rotation, 90);
  EXPECT_EQ(map.Find(6).record.rotation, 0);
  map.AssignOne(6, own);
  ASSERT_EQ(map.Runs().size(), 3u);
  EXPECT_EQ(map.Runs()[1].end, 7);
  map.Assign(3, 7, pdf::PageInfoTable::kDefaultRecord);
  ASSERT_EQ(map.Runs().size(), 1u);
  EXPECT_EQ(map.Runs()[0].end, INT32_MAX);
}

}  // namespace
