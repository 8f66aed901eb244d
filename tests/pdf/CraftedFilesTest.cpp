// Small files made to show one oddity each, read by the library and by
// pdfinfo or qpdf at test time: the page count, each page's boxes (or that
// the page cannot be read), an object's value and a stream's decoded bytes
// must agree.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "pdf/Document.h"
#include "pdf/ObjectPrinter.h"
#include "pdf/PageBoxes.h"
#include "pdf/PageTree.h"
#include "pdf/StreamObject.h"
#include "runtime/ErrorTrap.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/pdf/PdfinfoBoxes.h"
#include "tests/pdf/ProbeRunner.h"
#include "tests/support/CaughtError.h"

namespace {

using Objects = std::vector<std::pair<uint32_t, std::string>>;

// A file of the given objects after a catalog (object 1) whose "Pages" is
// object 2.
std::string Build(const Objects& objects) {
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  for (const auto& [number, body] : objects) writer.Object(number, body);
  writer.ClassicTable("/Root 1 0 R");
  return writer.Text();
}

std::string Page(uint32_t parent, int width) {
  return "<< /Type /Page /Parent " + std::to_string(parent) + " 0 R /MediaBox [0 0 " +
         std::to_string(width) + " 100] >>";
}

// Writes `bytes` to a file of its own for the reference tools.
class TempFile {
 public:
  TempFile(const std::string& name, const std::string& bytes)
      : path_(::testing::TempDir() + name + "_" + std::to_string(getpid()) + ".pdf") {
    std::ofstream(path_, std::ios::binary) << bytes;
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

struct PageReport {
  bool read = false;
  double media[4] = {};
  double crop[4] = {};
};

struct PagesReport {
  int32_t count = -1;
  std::map<int32_t, PageReport> pages;  // by page number from 1
};

PagesReport AskPdfinfo(const std::string& path, int32_t lastPage) {
  const pdftest::PdfinfoPages info = pdftest::AskPdfinfo(path, lastPage);
  PagesReport report;
  report.count = info.pages;
  for (const auto& [number, values] : info.values) {
    PageReport& page = report.pages[number];
    const auto copy = [&](const char* key, double* out) {
      const auto found = values.find(key);
      if (found == values.end() || found->second.size() != 4) return;
      for (int i = 0; i < 4; ++i) out[i] = found->second[i];
      page.read = true;
    };
    copy("MediaBox", page.media);
    copy("CropBox", page.crop);
  }
  return report;
}

PagesReport AskLibrary(runtime::LibraryContext* context, pdf::Document& document) {
  PagesReport report;
  report.count = document.GetPageCount();
  for (int32_t index = 0; index < report.count; ++index) {
    PageReport& page = report.pages[index + 1];
    runtime::CatchAllExceptCancel(context, [&] {
      const pdf::PageBoxes boxes = pdf::PageBoxes::Read(document.GetPageDict(index));
      const runtime::Rect* rects[2] = {&boxes.media, &boxes.box};
      double* out[2] = {page.media, page.crop};
      for (int b = 0; b < 2; ++b) {
        const runtime::Fixed values[4] = {rects[b]->x0, rects[b]->y0, rects[b]->x1, rects[b]->y1};
        for (int i = 0; i < 4; ++i) out[b][i] = runtime::FixedToDouble(values[i]);
      }
      page.read = true;
      // The index found back from the page agrees with the walk.
      EXPECT_EQ(pdf::PageTree::IndexOfPage(document, pdf::PageTree::FindPageRef(document, index)),
                index);
    });
  }
  return report;
}

class CraftedFilesTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context_;
};

// Page trees and boxes against pdfinfo.
TEST_F(CraftedFilesTest, PagesReadAsPdfinfoReadsThem) {
  const struct {
    const char* name;
    Objects objects;
  } cases[] = {
      // An inner node claims one page and holds three: every page is still
      // found, in the order of the kids.
      {"under_claiming_count",
       {{2, "<< /Type /Pages /Count 4 /Kids [3 0 R 7 0 R] >>"},
        {3, "<< /Type /Pages /Parent 2 0 R /Count 1 /Kids [4 0 R 5 0 R 6 0 R] >>"},
        {4, Page(3, 101)}, {5, Page(3, 102)}, {6, Page(3, 103)}, {7, Page(2, 104)}}},
      // A node claiming no pages still holds the one it has.
      {"zero_count_node",
       {{2, "<< /Type /Pages /Count 2 /Kids [3 0 R 5 0 R] >>"},
        {3, "<< /Type /Pages /Parent 2 0 R /Count 0 /Kids [4 0 R] >>"},
        {4, Page(3, 101)}, {5, Page(2, 102)}}},
      // A kid that refers to no object loses only itself.
      {"dangling_kid",
       {{2, "<< /Type /Pages /Count 4 /Kids [3 0 R 9 0 R 4 0 R 5 0 R] >>"},
        {3, Page(2, 101)}, {4, Page(2, 102)}, {5, Page(2, 103)}}},
      // A crop box beside the media box shows nothing, on the media box's
      // corner.
      {"disjoint_crop_box",
       {{2, "<< /Type /Pages /Count 2 /Kids [3 0 R 4 0 R] >>"},
        {3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 600 800] /CropBox [700 900 1000 1000] >>"},
        {4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 600 800] /CropBox [-50 -70 -10 -20] >>"}}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const std::string bytes = Build(test.objects);
    const TempFile file(test.name, bytes);
    pdftest::OpenDocument document(&context_, bytes);
    PagesReport ours = AskLibrary(&context_, *document);
    PagesReport theirs = AskPdfinfo(file.Path(), std::max(ours.count, 1));
    ASSERT_GT(theirs.count, 0) << "pdfinfo read nothing";
    EXPECT_EQ(ours.count, theirs.count);
    for (int32_t page = 1; page <= theirs.count; ++page) {
      const PageReport& a = ours.pages[page];
      const PageReport& b = theirs.pages[page];
      EXPECT_EQ(a.read, b.read) << "page " << page;
      if (a.read != b.read) continue;
      for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(a.media[i], b.media[i], 0.0051) << "page " << page << " media " << i;
        EXPECT_NEAR(a.crop[i], b.crop[i], 0.0051) << "page " << page << " crop " << i;
      }
    }
  }
}

// Objects and decoded streams against qpdf.
TEST_F(CraftedFilesTest, ObjectsReadAsQpdfReadsThem) {
  // Two-byte rows behind the PNG "Up" predictor: without its parameters the
  // filter would hand back the tag bytes too.
  std::string rows;
  for (int i = 0; i < 4; ++i) rows += std::string{2, static_cast<char>(i), static_cast<char>(3 * i)};
  const std::string packed = pdftest::Deflate(rows);
  const std::string stream = "<< /Filter [/FlateDecode] /DecodeParms << /Predictor 12 /Columns 2 >>"
                             " /Length " + std::to_string(packed.size()) + " >>\nstream\n" +
                             packed + "\nendstream";
  const struct {
    const char* name;
    Objects objects;
    uint32_t number;
    bool data;  // compare the decoded stream, else the value
  } cases[] = {
      {"one_filter_array", {{4, stream}}, 4, true},
      // "endobj" at once: the object is null, not the value of the next.
      {"empty_object", {{4, ""}, {5, "42"}}, 4, false},
      {"after_empty_object", {{4, ""}, {5, "42"}}, 5, false},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const std::string bytes = Build(test.objects);
    const TempFile file(test.name, bytes);
    const std::string number = std::to_string(test.number);
    const pdftest::ProbeResult theirs = pdftest::RunCommand(
        "qpdf --show-object=" + number + (test.data ? " --filtered-stream-data" : "") + " '" +
        file.Path() + "' 2>/dev/null");
    ASSERT_FALSE(theirs.out.empty()) << "qpdf read nothing";
    pdftest::OpenDocument document(&context_, bytes);
    runtime::ObjectHandle object = document->GetObject(test.number, 0);
    if (test.data) {
      streams::DataStreamRef data = pdf::StreamObject::OpenDataStream(*document, object);
      EXPECT_EQ(pdftest::ReadAll(*data), theirs.out);
    } else {
      EXPECT_EQ(pdf::ObjectPrinter::ToString(object.Value()) + "\n", theirs.out);
    }
  }
}

// With more than one filter, a parameter dictionary given plainly belongs
// to no filter in particular: malformed.
TEST_F(CraftedFilesTest, PlainParametersForSeveralFiltersAreMalformed) {
  const std::string bytes = Build({{4, "<< /Filter [/ASCIIHexDecode /FlateDecode] /DecodeParms"
                                       " << /Predictor 12 >> /Length 2 >>\nstream\n00\nendstream"}});
  pdftest::OpenDocument document(&context_, bytes);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] {
              pdf::StreamObject::OpenData(*document, document->GetObject(4, 0));
            }),
            2);
}

}  // namespace
