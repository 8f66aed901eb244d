// Pages of linearised files found from their hint tables. The files are
// made at test time by qpdf from a generated 50-page document; the page
// tree walk is the reference for which object is each page.
#include "pdf/LinearizedPages.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

#include "pdf/Document.h"
#include "pdf/PageTree.h"
#include "runtime/Dictionary.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/CaughtError.h"

namespace {

constexpr int32_t kPages = 50;

// A 50-page document whose pages share one font and each have their own
// content stream.
std::string FiftyPages() {
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  writer.Object(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  std::string kids;
  for (uint32_t i = 0; i < kPages; ++i) {
    const uint32_t content = 4 + 2 * i;
    const std::string text = "BT /F1 24 Tf 72 700 Td (Page " + std::to_string(i + 1) + ") Tj ET";
    writer.Object(content, "<< /Length " + std::to_string(text.size()) + " >>\nstream\n" + text +
                               "\nendstream");
    writer.Object(content + 1, "<< /Type /Page /Parent 2 0 R /Contents " +
                                   std::to_string(content) +
                                   " 0 R /Resources << /Font << /F1 3 0 R >> >> >>");
    kids += std::to_string(content + 1) + " 0 R ";
  }
  writer.Object(2, "<< /Type /Pages /Count " + std::to_string(kPages) + " /Kids [" + kids +
                       "] /MediaBox [0 0 612 792] >>");
  writer.ClassicTable("/Root 1 0 R");
  return writer.Text();
}

// qpdf's linearisation of the document, with the given extra options.
std::string Linearize(const std::string& options) {
  // Named by the process: the tests of this file may run side by side.
  const std::string dir = ::testing::TempDir() + "fifty_pages_" + std::to_string(getpid());
  const std::string in = dir + ".pdf";
  const std::string out = dir + "_linearized.pdf";
  {
    std::ofstream file(in, std::ios::binary);
    file << FiftyPages();
  }
  const std::string command = "qpdf --linearize " + options + " '" + in + "' '" + out + "'";
  if (std::system(command.c_str()) != 0) return {};
  std::string bytes = pdftest::ReadFile(out);
  std::remove(in.c_str());
  std::remove(out.c_str());
  return bytes;
}

class LinearizedPagesTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context_;
};

TEST_F(LinearizedPagesTest, HintTablesNameThePagesTheTreeHolds) {
  for (const char* options : {"", "--object-streams=generate"}) {
    const std::string bytes = Linearize(options);
    ASSERT_FALSE(bytes.empty()) << "qpdf " << options;
    pdftest::OpenDocument document(&context_, bytes);
    ASSERT_NE(document->LinearizedObject(), 0u) << options;
    const pdf::LinearizedPages pages(*document);
    ASSERT_TRUE(pages.HasHints()) << options;
    ASSERT_EQ(pages.PageCount(), kPages);
    EXPECT_EQ(document->GetPageCount(), kPages);
    for (int32_t index = 0; index < kPages; ++index) {
      const runtime::ObjectReference tree = pdf::PageTree::FindPageRef(*document, index);
      EXPECT_EQ(pages.ObjectOfPage(index), int64_t{tree.number}) << options << " page " << index;
      EXPECT_EQ(pages.PageIndexOfRef(tree), index) << options << " page " << index;
      if (index == pages.FirstPage()) continue;
      // The page's own objects (its dictionary and its content stream) lie
      // in the bytes the hints give it.
      const streams::ByteRange range = pages.PageObjectsRange(index);
      const runtime::ObjectHandle page = document->GetObject(tree.number, tree.generation);
      const runtime::ObjectValue* contents =
          runtime::Dictionary::FindByName(page.Value(), "Contents");
      for (const uint32_t number : {tree.number, contents->AsReference().number}) {
        runtime::XrefEntry entry = document->LookupEntry(number);
        if (entry.kind == 3) {
          entry = document->LookupEntry(static_cast<uint32_t>(entry.offset & 0xFFFFFFFFu));
        }
        ASSERT_EQ(entry.kind, 2u) << options << " object " << number;
        EXPECT_GE(entry.offset, range.start) << options << " page " << index;
        EXPECT_LT(entry.offset, range.end) << options << " page " << index;
      }
    }
  }
}

TEST_F(LinearizedPagesTest, QuestionsOutsideThePagesAreMalformed) {
  const std::string bytes = Linearize("");
  ASSERT_FALSE(bytes.empty());
  pdftest::OpenDocument document(&context_, bytes);
  const pdf::LinearizedPages pages(*document);
  const struct {
    const char* name;
    std::function<void()> body;
  } cases[] = {
      {"page -1", [&] { pages.ObjectOfPage(-1); }},
      {"page N", [&] { pages.ObjectOfPage(kPages); }},
      {"no page's object", [&] { pages.PageIndexOfObject(2); }},
      {"generation 1", [&] { pages.PageIndexOfRef({1, 1}); }},
      {"first page's range", [&] { pages.PageObjectsRange(pages.FirstPage()); }},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, c.body), 2) << c.name;
  }
}

// A hint stream whose shared object table lies past its data is malformed:
// the hints are dropped, the first page is still known and the others are
// left to the page tree.
TEST_F(LinearizedPagesTest, MalformedHintsAreDropped) {
  std::string bytes = Linearize("");
  ASSERT_FALSE(bytes.empty());
  const size_t at = bytes.find("/S ", bytes.find("/Filter /FlateDecode"));
  ASSERT_NE(at, std::string::npos);
  for (size_t i = at + 3; i < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[i]));
       ++i) {
    bytes[i] = '9';
  }
  pdftest::OpenDocument document(&context_, bytes);
  const pdf::LinearizedPages pages(*document);
  EXPECT_FALSE(pages.HasHints());
  EXPECT_EQ(pages.ObjectOfPage(pages.FirstPage()),
            int64_t{pdf::PageTree::FindPageRef(*document, pages.FirstPage()).number});
  EXPECT_EQ(pages.ObjectOfPage(pages.FirstPage() + 1), -1);
  EXPECT_EQ(pages.PageIndexOfObject(1), -1);
}

TEST_F(LinearizedPagesTest, DocumentThatIsNotLinearizedHasNoHints) {
  const std::string bytes = FiftyPages();
  pdftest::OpenDocument document(&context_, bytes);
  EXPECT_EQ(document->LinearizedObject(), 0u);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] { pdf::LinearizedPages pages(*document); }),
            2);
}

}  // namespace
