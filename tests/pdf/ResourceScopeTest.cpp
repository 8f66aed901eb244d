// Resources in effect for nested content, and lookups by category and name.
#include <gtest/gtest.h>

#include <string>

#include "pdf/ResourceScope.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "tests/pdf/PdfTestSupport.h"

namespace {

class ResourceScopeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    writer_.Object(1, "<< /Type /Catalog >>")
        .Object(2, "<< /Type /Page /Resources << /Font << /F1 5 0 R >> /XObject 6 0 R >> >>")
        .Object(3, "<< /Subtype /Form >>")                                  // no resources
        .Object(4, "<< /Subtype /Form /Resources << >> >>")                 // empty ones
        .Object(5, "<< /Type /Font /Name /Page >>")
        .Object(6, "<< /Im 7 0 R /Bad 8 >>")
        .Object(7, "<< /Subtype /Image >>")
        .Object(9, "<< /Resources 8 >>")
        .ClassicTable("/Root 1 0 R");
    document_ = std::make_unique<pdftest::OpenDocument>(&context_, writer_.Text());
  }
  runtime::ObjectHandle Object(uint32_t number) { return (*document_)->GetObject(number, 0); }

  // Runs `body`; the runtime code it raised, or -1.
  template <class Body>
  int CodeOf(Body&& body) {
    runtime::ErrorTrap trap(&context_);
    if (trap.Run(body)) return -1;
    trap.SetHandled();
    const int code = static_cast<int>(trap.Held().code);
    trap.Close();
    return code;
  }

  runtime::LibraryContext context_;
  pdftest::PdfWriter writer_;
  std::unique_ptr<pdftest::OpenDocument> document_;
};

TEST_F(ResourceScopeTest, NestedScopes) {
  const pdf::ResourceScope page(nullptr, Object(2));
  const pdf::ResourceScope inherits(&page.Resources(), Object(3));
  const pdf::ResourceScope ownEmpty(&page.Resources(), Object(4));
  const pdf::ResourceScope none(nullptr, Object(3));

  const runtime::ObjectHandle font = pdf::Resources::Lookup(inherits.Resources(), "Font", "F1");
  ASSERT_EQ(font.Tag(), runtime::ObjectTag::kDictionary);
  EXPECT_EQ(runtime::Dictionary::GetName(font, "Name")->AsName().View(), "Page");
  EXPECT_TRUE(pdf::Resources::Lookup(ownEmpty.Resources(), "Font", "F1").IsNull());
  EXPECT_TRUE(none.Resources().IsNull());
  EXPECT_TRUE(pdf::Resources::Lookup(none.Resources(), "Font", "F1").IsNull());
  EXPECT_EQ(CodeOf([&] { pdf::ResourceScope bad(nullptr, Object(9)); }), 2);
}

TEST_F(ResourceScopeTest, Lookups) {
  const runtime::ObjectHandle resources = pdf::ResourceScope(nullptr, Object(2)).Resources();
  const struct {
    const char* category;
    const char* name;
    const char* expected;  // "dict", "null" or "error N"
    bool required;
  } kCases[] = {
      {"XObject", "Im", "dict", false},  {"XObject", "Im", "dict", true},
      {"XObject", "No", "null", false},  {"XObject", "No", "error 2", true},
      {"Shading", "S", "null", false},   {"Shading", "S", "error 2", true},
      {"XObject", "Bad", "error 2", false}, {"XObject", "Bad", "error 2", true},
  };
  for (const auto& c : kCases) {
    std::string result;
    const int code = CodeOf([&] {
      const runtime::ObjectHandle found =
          c.required ? pdf::Resources::GetRequiredDict(resources, c.category, c.name)
                     : pdf::Resources::GetNamedDict(resources, c.category, c.name);
      result = found.IsNull() ? "null" : "dict";
    });
    if (code >= 0) result = "error " + std::to_string(code);
    EXPECT_EQ(result, c.expected) << c.category << " " << c.name << " " << c.required;
  }
}

}  // namespace
