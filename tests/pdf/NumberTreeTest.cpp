// Number-tree lookups and the structure element of marked content, over a
// generated document that qpdf checks and also rewrites into object
// streams; both forms must answer alike.
#include "pdf/NumberTree.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "pdf/StructTree.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "tests/pdf/PdfTestSupport.h"

namespace {

// A page whose "StructParents" is 7, a structure root whose parent tree
// has leaves under two levels of kids (one leaf unsorted), limits that
// exclude keys, and a kid that contains itself.
std::string StructuredDocument() {
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R /StructTreeRoot 5 0 R >>")
      .Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
      .Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /StructParents 7 >>")
      .Object(5, "<< /Type /StructTreeRoot /ParentTree 6 0 R /K [10 0 R 13 0 R] >>")
      .Object(6, "<< /Kids [7 0 R 8 0 R 9 0 R] >>")
      .Object(7, "<< /Limits [0 5] /Nums [0 [10 0 R] 5 (five)] >>")
      .Object(8, "<< /Limits [6 10] /Kids [11 0 R 12 0 R] >>")
      .Object(9, "<< /Limits [20 30] /Kids [9 0 R] >>")
      .Object(10, "<< /Type /StructElem /S /P /P 5 0 R /Pg 3 0 R /K 0 >>")
      .Object(11, "<< /Limits [6 6] /Nums [6 (six)] >>")
      .Object(12, "<< /Limits [7 9] /Nums [8 (eight) 7 [10 0 R 13 0 R null]] >>")
      .Object(13, "<< /Type /StructElem /S /Span /P 5 0 R /Pg 3 0 R /K 1 >>")
      .ClassicTable("/Root 1 0 R");
  return writer.Text();
}

// Runs qpdf on `bytes` with `arguments` (the input's place marked by IN,
// the output's by OUT); the exit code, and the output file's bytes.
int RunQpdf(const std::string& bytes, const std::string& arguments, std::string* output) {
  const std::string base = ::testing::TempDir() + "number_tree_" + std::to_string(getpid());
  const std::string in = base + ".pdf";
  const std::string out = base + "_out.pdf";
  {
    std::ofstream file(in, std::ios::binary);
    file << bytes;
  }
  std::string command = "qpdf " + arguments + " >/dev/null 2>&1";
  for (const auto& [mark, path] : {std::pair{std::string("IN"), in}, std::pair{std::string("OUT"), out}}) {
    const size_t at = command.find(mark);
    if (at != std::string::npos) command.replace(at, mark.size(), "'" + path + "'");
  }
  const int status = std::system(command.c_str());
  if (output != nullptr) *output = pdftest::ReadFile(out);
  std::remove(in.c_str());
  std::remove(out.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What the parent tree holds under `key`: "miss", the string, "array N",
// or "error N".
std::string Find(pdf::Document& document, int32_t key) {
  std::string result;
  runtime::ErrorTrap trap(document.Context());
  if (!trap.Run([&] {
        const runtime::ObjectHandle root = runtime::Dictionary::Get(
            runtime::Dictionary::Get(document.GetTrailer(), "Root"), "StructTreeRoot");
        const runtime::ObjectHandle value =
            pdf::NumberTree::Lookup(runtime::Dictionary::Get(root, "ParentTree"), key);
        if (value.IsNull()) {
          result = "miss";
        } else if (value.Tag() == runtime::ObjectTag::kArray) {
          result = "array " + std::to_string(runtime::Array::Count(value));
        } else {
          result = std::string(value->AsString().View());
        }
      })) {
    trap.SetHandled();
    result = "error " + std::to_string(trap.Held().code);
    trap.Close();
  }
  return result;
}

// The element's structure type, "none" without an element.
std::string ElementType(pdf::Document& document, int32_t structParents, int32_t mcid) {
  const runtime::ObjectHandle element =
      pdf::StructTree::FindMarkedElement(document, structParents, mcid);
  if (element.IsNull()) return "none";
  return std::string(runtime::Dictionary::Get(element, "S")->AsName().View());
}

class NumberTreeTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context_;
};

TEST_F(NumberTreeTest, LookupsInTheWrittenAndTheRewrittenDocument) {
  const std::string written = StructuredDocument();
  ASSERT_EQ(RunQpdf(written, "--check IN", nullptr), 0);
  std::string rewritten;
  ASSERT_EQ(RunQpdf(written, "--object-streams=generate IN OUT", &rewritten), 0);
  ASSERT_FALSE(rewritten.empty());

  const struct {
    int32_t key;
    const char* expected;
  } kLookups[] = {
      {0, "array 1"},  {5, "five"},  {6, "six"},  {7, "array 3"},
      {8, "eight"},    // the unsorted leaf
      {3, "miss"},     // inside a leaf's limits, not in it
      {15, "miss"},    // between the kids' limits
      {11, "miss"},    // excluded by every kid's limits, the looping one too
      {-1, "miss"},    {100, "miss"},
      {25, "error 2"},  // claimed by the kid that contains itself
  };
  const struct {
    int32_t structParents;
    int32_t mcid;
    const char* expected;
  } kElements[] = {
      {7, 0, "P"},     {7, 1, "Span"},  {0, 0, "P"},
      {7, 2, "none"},  // a null entry
      {7, 3, "none"},  // past the array
      {5, 0, "none"},  // not an array
      {25, 0, "none"},  // the looping kid: malformed, so no element
      {-1, 0, "none"}, {7, -1, "none"}, {40, 0, "none"},
  };
  for (const std::string* bytes : {&written, static_cast<const std::string*>(&rewritten)}) {
    const char* form = bytes == &written ? "written" : "rewritten";
    pdftest::OpenDocument document(&context_, *bytes);
    for (const auto& c : kLookups) EXPECT_EQ(Find(*document, c.key), c.expected) << form << " " << c.key;
    for (const auto& c : kElements) {
      EXPECT_EQ(ElementType(*document, c.structParents, c.mcid), c.expected)
          << form << " " << c.structParents << "/" << c.mcid;
    }
  }
}

TEST_F(NumberTreeTest, MalformedNodes) {
  const struct {
    const char* name;
    const char* tree;
    int32_t key;
    const char* expected;
  } kCases[] = {
      {"a key that is no integer", "<< /Nums [(1) (one) 2 (two)] >>", 2, "error 2"},
      {"a matching key without a value", "<< /Nums [1 (one) 2] >>", 2, "error 2"},
      {"neither Nums nor Kids", "<< /Limits [0 9] >>", 2, "error 2"},
      {"limits that are no integers", "<< /Kids [<< /Limits [(a) (z)] /Nums [2 (two)] >>] >>", 2,
       "error 2"},
      {"a kid without limits is searched", "<< /Kids [<< /Nums [2 (two)] >>] >>", 2, "two"},
      {"a real key", "<< /Nums [2.0 (real) 2 (two)] >>", 2, "error 2"},
  };
  for (const auto& c : kCases) {
    pdftest::PdfWriter writer;
    writer.Object(1, "<< /Type /Catalog /StructTreeRoot 2 0 R >>")
        .Object(2, "<< /Type /StructTreeRoot /ParentTree 3 0 R >>")
        .Object(3, c.tree)
        .ClassicTable("/Root 1 0 R");
    pdftest::OpenDocument document(&context_, writer.Text());
    EXPECT_EQ(Find(*document, c.key), c.expected) << c.name;
  }
}

}  // namespace
