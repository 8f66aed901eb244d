// Name-tree lookups and their key order; destination pages.
#include <gtest/gtest.h>

#include <string>

#include "pdf/Destination.h"
#include "pdf/NameTree.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "tests/pdf/PdfTestSupport.h"

namespace {

TEST(NameTreeTest, KeysCompareAsUnsignedBytes) {
  const struct {
    std::string a;
    std::string b;
    int expected;
  } kCases[] = {
      {"", "", 0},        {"a", "ab", -1},     {"ab", "a", 1},   {"a", "b", -1},
      {"\xE9", "a", 1},   {"a\x80", "a\x7F", 1}, {"abc", "abc", 0}, {"", "a", -1},
  };
  for (const auto& c : kCases) {
    const int result = pdf::NameTree::CompareByteRanges(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.expected) << c.a << " vs " << c.b;
  }
}

// Looks `key` up in the tree held by object 2 of a document of `objects`
// (numbered from 2); "miss" when absent, the integer found, or "error N".
std::string Find(const std::vector<std::string>& objects, const std::string& key) {
  runtime::LibraryContext context;
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog >>");
  for (size_t i = 0; i < objects.size(); ++i) writer.Object(static_cast<uint32_t>(2 + i), objects[i]);
  writer.ClassicTable("/Root 1 0 R");
  pdftest::OpenDocument document(&context, writer.Text());
  std::string result;
  runtime::ErrorTrap trap(&context);
  if (!trap.Run([&] {
        const runtime::ObjectHandle value =
            pdf::NameTree::Lookup(document->GetObject(2, 0), key);
        result = value.IsNull() ? "miss" : std::to_string(value->AsInteger());
      })) {
    trap.SetHandled();
    result = "error " + std::to_string(trap.Held().code);
    trap.Close();
  }
  return result;
}

TEST(NameTreeTest, Lookups) {
  const std::vector<std::string> twoKids = {
      "<< /Kids [3 0 R 4 0 R] >>",
      "<< /Limits [(a) (c)] /Names [(c) 3 (a) 1 (b) 2] >>",
      "<< /Limits [(d) (\xE9)] /Names [(d) 4 (\xE9) 5] >>",
  };
  const std::vector<std::string> overlapping = {
      "<< /Kids [3 0 R 4 0 R] >>",
      "<< /Limits [(a) (m)] /Names [(a) 1] >>",
      "<< /Limits [(b) (z)] /Names [(b) 2] >>",
  };
  const struct {
    const char* name;
    const std::vector<std::string>& tree;
    std::string key;
    std::string expected;
  } kCases[] = {
      {"unsorted leaf", twoKids, "a", "1"},
      {"lower limit", twoKids, "d", "4"},
      {"upper limit", twoKids, "c", "3"},
      {"byte above 0x7F under unsigned limits", twoKids, "\xE9", "5"},
      {"between kids", twoKids, "cc", "miss"},
      {"prefix sorts first", twoKids, "", "miss"},
      {"first claiming kid decides", overlapping, "b", "miss"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Find(c.tree, c.key), c.expected) << c.name;

  const struct {
    const char* name;
    std::vector<std::string> tree;
  } kMalformed[] = {
      {"key without value", {"<< /Names [(a) 1 (b)] >>"}},
      {"key not a string", {"<< /Names [/b 1] >>"}},
      {"neither names nor kids", {"<< >>"}},
      {"kid without limits", {"<< /Kids [3 0 R] >>", "<< /Names [(b) 1] >>"}},
      {"limits not strings", {"<< /Kids [3 0 R] >>", "<< /Limits [1 2] /Names [(b) 1] >>"}},
      {"kid holding itself", {"<< /Kids [2 0 R] /Limits [(a) (z)] >>"}},
  };
  for (const auto& c : kMalformed) EXPECT_EQ(Find(c.tree, "b"), "error 2") << c.name;
}

TEST(DestinationTest, PageElement) {
  // Pages: 3 is the root with an inner node 4 (two pages) and page 7.
  runtime::LibraryContext context;
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 3 0 R >>")
      .Object(3, "<< /Type /Pages /Kids [4 0 R 7 0 R] /Count 3 >>")
      .Object(4, "<< /Type /Pages /Parent 3 0 R /Kids [5 0 R 6 0 R] /Count 2 >>")
      .Object(5, "<< /Type /Page /Parent 4 0 R >>")
      .Object(6, "<< /Type /Page /Parent 4 0 R >>")
      .Object(7, "<< /Type /Page /Parent 3 0 R >>")
      .Object(8, "<< /Type /Page /Parent 3 0 R >>")
      .Object(9, "<< /Type /Page /Parent 9 0 R >>")
      .Object(20, "[[null /Fit] [3 /Fit] [6 0 R /XYZ] [7 0 R /FitH] [8 0 R] [9 0 R] [/x] []]")
      .ClassicTable("/Root 1 0 R");
  pdftest::OpenDocument document(&context, writer.Text());
  const runtime::ObjectHandle cases = document->GetObject(20, 0);
  const std::string expected[] = {"5 Fit", "3 Fit", "1 XYZ", "2 FitH",
                                  "error",  "error", "error", "5 "};
  for (uint32_t i = 0; i < 8; ++i) {
    std::string result;
    runtime::ErrorTrap trap(&context);
    if (!trap.Run([&] {
          const pdf::DestinationTarget target =
              pdf::Destination::Parse(*document, runtime::Array::Get(cases, i), 5);
          result = std::to_string(target.pageIndex) + " " + target.fit;
        })) {
      trap.SetHandled();
      EXPECT_TRUE(trap.Held().IsRuntime(runtime::kMalformed));
      result = "error";
      trap.Close();
    }
    EXPECT_EQ(result, expected[i]) << "destination " << i;
  }
}

}  // namespace
