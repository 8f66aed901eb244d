// Machines built for pages and forms: their resources (inherited through
// the page tree, a form's own, or those around it) and their content
// (several streams read as one); no memory gives no machine.
#include <gtest/gtest.h>

#include <string>

#include "content/ContentOwner.h"
#include "content/ContentStream.h"
#include "content/LoggingHandler.h"
#include "content/Page.h"
#include "pdf/Document.h"
#include "runtime/Dictionary.h"
#include "tests/content/ContentTestSupport.h"
#include "tests/pdf/PdfTestSupport.h"

namespace {

using runtime::ObjectHandle;

std::string StreamObject(const std::string& dictionary, const std::string& data) {
  return "<< " + dictionary + " /Length " + std::to_string(data.size()) + " >>\nstream\n" +
         data + "\nendstream";
}

// Pages inherit their resources from the tree; page 4 has its own content
// in two streams, page 5 none; forms 7 (own resources) and 8 (none).
std::string OwnersFile() {
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
      .Object(2, "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2"
                 " /Resources << /XObject << /Fm 7 0 R >> /Tag /Tree >> >>")
      .Object(3, "<< /Type /Page /Parent 2 0 R /Contents [4 0 R 6 0 R] /StructParents 4 >>")
      .Object(4, StreamObject("", "1 w"))
      .Object(5, "<< /Type /Page /Parent 2 0 R /Resources << /Tag /Own >> /StructParents -2 >>")
      .Object(6, StreamObject("", "2 w"))
      .Object(7, StreamObject("/Type /XObject /Subtype /Form /BBox [0 0 1 1]"
                              " /Resources << /Tag /Form >> /StructParents 9",
                              "3 w"))
      .Object(8, StreamObject("/Type /XObject /Subtype /Form /BBox [0 0 1 1] /StructParents (9)",
                              "4 w"))
      .ClassicTable("/Root 1 0 R");
  return writer.Text();
}

std::string TagOf(const ObjectHandle& resources) {
  if (resources.Tag() != runtime::ObjectTag::kDictionary) return "none";
  const ObjectHandle tag = runtime::Dictionary::Get(resources, "Tag");
  return tag.Tag() == runtime::ObjectTag::kName ? std::string(tag->AsName().View()) : "?";
}

class ContentOwnerTest : public ::testing::Test {
 protected:
  ContentOwnerTest() { context_.memory.SetBudget(runtime::kNoLimit); }

  // Plays `machine` (taking it) and returns its log.
  std::string PlayAndFree(content::ContentMachine* machine) {
    EXPECT_NE(machine, nullptr);
    if (machine == nullptr) return {};
    content::MachineHolder holder(&context_, machine);
    content::PageInfo page;
    content::LoggingHandler handler(&context_, page, &machine->Resources());
    content::ContentStream::Run(*machine, handler);
    return handler.Log();
  }

  runtime::LibraryContext context_;
};

TEST_F(ContentOwnerTest, PageMachinesTakeTheTreeResourcesAndEveryStream) {
  const std::string file = OwnersFile();
  pdftest::OpenDocument document(&context_, file);
  struct Case {
    uint32_t page;
    const char* tag;
    const char* log;
    int32_t structParents;  // a negative number is read as none
  };
  for (const Case c : {Case{3, "Tree", "SetLineWidth 1\nSetLineWidth 2\n", 4},
                       Case{5, "Own", "", -1}}) {
    content::ContentMachine* machine =
        content::Page::NewMachine(*document, document->GetObject(c.page, 0));
    ASSERT_NE(machine, nullptr);
    EXPECT_EQ(TagOf(machine->Resources()), c.tag) << c.page;
    EXPECT_EQ(machine->GetDocument(), &*document);
    EXPECT_EQ(machine->StructParents(), c.structParents) << c.page;
    EXPECT_EQ(PlayAndFree(machine), c.log) << c.page;
  }
}

TEST_F(ContentOwnerTest, FormMachinesTakeTheirOwnResourcesOrThoseAround) {
  const std::string file = OwnersFile();
  pdftest::OpenDocument document(&context_, file);
  const ObjectHandle around = runtime::Dictionary::Get(document->GetObject(5, 0), "Resources");
  struct Case {
    uint32_t form;
    bool enclosing;
    const char* tag;
    const char* log;
    int32_t structParents;  // a string is read as none
  };
  for (const Case c : {Case{7, false, "Form", "SetLineWidth 3\n", 9},
                       Case{7, true, "Form", "SetLineWidth 3\n", 9},
                       Case{8, false, "none", "SetLineWidth 4\n", -1},
                       Case{8, true, "Own", "SetLineWidth 4\n", -1}}) {
    content::ContentMachine* machine = content::ContentOwner::NewMachine(
        *document, document->GetObject(c.form, 0), c.enclosing ? &around : nullptr);
    ASSERT_NE(machine, nullptr);
    EXPECT_EQ(TagOf(machine->Resources()), c.tag) << c.form << c.enclosing;
    EXPECT_EQ(machine->StructParents(), c.structParents) << c.form;
    EXPECT_EQ(PlayAndFree(machine), c.log) << c.form << c.enclosing;
  }
}

TEST_F(ContentOwnerTest, NoMemoryGivesNoMachine) {
  const std::string file = OwnersFile();
  pdftest::OpenDocument document(&context_, file);
  const ObjectHandle page = document->GetObject(3, 0);
  const ObjectHandle form = document->GetObject(7, 0);
  // Nothing more may be allocated: the partial objects are released (the
  // leak check sees to that) and the answer is none.
  const std::string data = "5 w";
  const uint64_t limit = context_.memory.hardLimit;
  for (const bool isPage : {true, false}) {
    auto stream = contenttest::StreamOver(&context_, data);
    context_.memory.hardLimit = context_.memory.bytesInUse;
    content::ContentMachine* machine =
        isPage ? content::Page::MakeMachine(*document, page, std::move(stream))
               : content::ContentOwner::MakeMachine(*document, form, std::move(stream));
    context_.memory.hardLimit = limit;
    EXPECT_EQ(machine, nullptr) << isPage;
  }
}

// Marked content of a page with "StructParents" finds its structure
// element through the parent tree once the page's machine records it; an
// MCID the tree does not list, and a page outside the tree, find none.
TEST_F(ContentOwnerTest, MarkedContentFindsItsStructureElement) {
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R /StructTreeRoot 8 0 R >>")
      .Object(2, "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 >>")
      .Object(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /StructParents 4 >>")
      .Object(4, StreamObject("", "/P << /MCID 1 >> BDC EMC /P << /MCID 5 >> BDC EMC"
                              " /P << /MCID 0 >> BDC EMC"))
      .Object(5, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /StructParents 7 >>")
      .Object(8, "<< /Type /StructTreeRoot /ParentTree << /Nums [4 [10 0 R 11 0 R]] >> >>")
      .Object(10, "<< /Type /StructElem /S /P >>")
      .Object(11, "<< /Type /StructElem /S /Span >>")
      .ClassicTable("/Root 1 0 R");
  const std::string file = writer.Text();
  pdftest::OpenDocument document(&context_, file);
  const struct {
    uint32_t page;
    const char* log;
  } cases[] = {
      {3,
       "BeginMarkedContent mcid=1 struct=4 element=11 R\nEndMarkedContent\n"
       "BeginMarkedContent mcid=5\nEndMarkedContent\n"
       "BeginMarkedContent mcid=0 struct=4 element=10 R\nEndMarkedContent\n"},
      {5,
       "BeginMarkedContent mcid=1\nEndMarkedContent\nBeginMarkedContent mcid=5\n"
       "EndMarkedContent\nBeginMarkedContent mcid=0\nEndMarkedContent\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PlayAndFree(content::Page::NewMachine(*document, document->GetObject(c.page, 0))),
              c.log)
        << c.page;
  }
}

}  // namespace
