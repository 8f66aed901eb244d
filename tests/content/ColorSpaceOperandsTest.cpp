// Colour-space operand sources over recorded program arrays and document
// arrays, the Indexed name test and the component counts built on them.
#include <gtest/gtest.h>

#include <functional>
#include <list>
#include <optional>
#include <string>

#include "content/ColorSpaceOperands.h"
#include "content/DocumentArrayOperands.h"
#include "content/ProgramArrayOperands.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Dictionary.h"
#include "tests/content/ContentTestSupport.h"
#include "tests/pdf/PdfTestSupport.h"

namespace {

using content::ColorSpaceOperands;
using content::DocumentArrayOperands;
using content::ProgramArrayOperands;
using runtime::ObjectTag;
using runtime::ObjectValue;
using testsupport::RaisedCode;

class ColorSpaceOperandsTest : public ::testing::Test {
 protected:
  ColorSpaceOperandsTest() { context_.memory.SetBudget(runtime::kNoLimit); }

  // A program source over `text` copied into the arena, as the recorder
  // keeps an inline image's colour space.
  ProgramArrayOperands& Program(const std::string& text) {
    texts_.push_back(text);
    auto stream = contenttest::StreamOver(&context_, texts_.back());
    const ObjectValue value = pdf::TokenParser::Parse(&context_, *stream, *store_, {});
    const ObjectValue& copy = ProgramArrayOperands::CopyToArena(arena_, value);
    return *new (arena_.Alloc(sizeof(ProgramArrayOperands))) ProgramArrayOperands(copy, arena_);
  }

  std::string Text(std::string_view view) { return std::string(view); }

  runtime::LibraryContext context_;
  runtime::StoreRef store_ =
      runtime::StoreRef::Adopt(&context_, runtime::ValueStore::New(&context_));
  std::list<std::string> texts_;
  runtime::ArenaAllocator arena_{&context_, 4096, 1024};
};

TEST_F(ColorSpaceOperandsTest, IndexedNameNeedsAbbreviationsForI) {
  struct Case {
    const char* name;
    bool abbreviations;
    bool indexed;
  };
  const Case cases[] = {
      {"Indexed", false, true}, {"Indexed", true, true}, {"I", true, true},
      {"I", false, false},      {"indexed", true, false}, {"Indexe", true, false},
      {"", true, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(content::IsIndexedColorSpaceName(c.name, c.abbreviations), c.indexed)
        << c.name << " " << c.abbreviations;
  }
}

TEST_F(ColorSpaceOperandsTest, ProgramArrayReadsByIndexWithChecks) {
  ProgramArrayOperands& space = Program("[/Indexed /DeviceRGB 255 (a\\000c) [/A /B] 1.5]");
  EXPECT_EQ(space.Count(), 6u);
  EXPECT_EQ(Text(space.NameAt(0)), "Indexed");
  EXPECT_EQ(space.IntAt(2), 255);
  const auto [first, end] = space.StringAt(3);
  EXPECT_EQ(std::string(first, end), std::string("a\0c", 3));
  EXPECT_EQ(space.TypeAt(4), ObjectTag::kArray);
  EXPECT_EQ(space.TypeAt(5), ObjectTag::kReal);
  EXPECT_EQ(space.CountOfArrayAt(4), 2u);
  EXPECT_EQ(Text(space.NameInArrayAt(4, 1)), "B");
  ColorSpaceOperands* inner = space.SubArrayAt(4);
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->Count(), 2u);
  EXPECT_EQ(Text(inner->NameAt(0)), "A");

  // The copy no longer needs the parser's store.
  store_ = runtime::StoreRef();
  EXPECT_EQ(Text(space.NameInArrayAt(4, 0)), "A");

  struct Bad {
    const char* name;
    std::function<void()> access;
  };
  const Bad bad[] = {
      {"name past the end", [&] { space.NameAt(6); }},
      {"integer as a name", [&] { space.NameAt(2); }},
      {"name as an integer", [&] { space.IntAt(0); }},
      {"string of a name", [&] { space.StringAt(1); }},
      {"sub-array of a name", [&] { space.SubArrayAt(0); }},
      {"name past the inner end", [&] { space.NameInArrayAt(4, 2); }},
      {"count of a non-array", [&] { space.CountOfArrayAt(2); }},
      {"type past the end", [&] { space.TypeAt(99); }},
      {"a dictionary, whatever the index", [&] { space.DictionaryAt(0); }},
      {"a stream, whatever the index", [&] { space.StreamAt(4); }},
      {"its own array handle", [&] { space.ArrayHandle(); }},
  };
  for (const Bad& b : bad) EXPECT_EQ(RaisedCode(b.access), 2u) << b.name;
}

TEST_F(ColorSpaceOperandsTest, ProgramArraysHoldNoDictionaries) {
  texts_.push_back("[/CalRGB << /Gamma 1 >>]");
  auto stream = contenttest::StreamOver(&context_, texts_.back());
  const ObjectValue value = pdf::TokenParser::Parse(&context_, *stream, *store_, {});
  EXPECT_EQ(RaisedCode([&] { ProgramArrayOperands::CopyToArena(arena_, value); }), 2u);
}

TEST_F(ColorSpaceOperandsTest, ComponentCountsOfInlineArrays) {
  struct Case {
    const char* array;
    bool abbreviations;
    std::optional<uint32_t> components;  // nothing: the code below
    uint32_t code;
  };
  const Case cases[] = {
      {"[/I /RGB 1 <000000FFFFFF>]", true, 1, 0},
      {"[/I /RGB 1 <000000FFFFFF>]", false, std::nullopt, 5},
      {"[/Indexed /DeviceRGB 1 (ab)]", false, 1, 0},
      {"[/DeviceN [/A /B] /DeviceCMYK null]", true, 2, 0},
      {"[/DeviceN [] /DeviceCMYK null]", true, std::nullopt, 2},
      {"[/Separation /Spot /DeviceCMYK null]", true, 1, 0},
      {"[/RGB]", true, 3, 0},
      {"[/RGB]", false, std::nullopt, 5},
      {"[/DeviceCMYK]", false, 4, 0},
      {"[/ICCBased 5]", true, std::nullopt, 2},
      {"[/Pattern]", true, std::nullopt, 5},
      {"[/Lab]", true, 3, 0},
      {"[]", true, std::nullopt, 2},
      {"[5]", true, std::nullopt, 2},
  };
  for (const Case& c : cases) {
    ProgramArrayOperands& space = Program(c.array);
    uint32_t components = 0;
    const auto code =
        RaisedCode([&] { components = content::ComponentCount(space, c.abbreviations); });
    if (c.components) {
      EXPECT_FALSE(code) << c.array;
      EXPECT_EQ(components, *c.components) << c.array;
    } else {
      EXPECT_EQ(code, c.code) << c.array;
    }
  }
}

class DocumentArrayOperandsTest : public ColorSpaceOperandsTest {
 protected:
  DocumentArrayOperandsTest() {
    pdftest::PdfWriter writer;
    writer.Object(1, "<< /Type /Catalog >>")
        .Object(2, "[/ICCBased 3 0 R]")
        .Object(3, "<< /N 4 /Length 0 >>\nstream\n\nendstream")
        .Object(4, "[/DeviceN 5 0 R /DeviceCMYK null]")
        .Object(5, "[/A /B /C]")
        .Object(6, "[7 0 R /DeviceRGB 1 8 0 R (xy) << /K 1 >>]")
        .Object(7, "/Indexed")
        .Object(8, "(abc)")
        .Object(9, "[/CalRGB << /WhitePoint [1 1 1] >>]")
        .Object(10, "[/ICCBased << /N 3 >>]")
        .Object(11, "[/CalGray << >>]")
        .ClassicTable("/Root 1 0 R");
    bytes_ = writer.Text();
    document_.emplace(&context_, bytes_);
  }
  ~DocumentArrayOperandsTest() override {
    // The sources' handles go before the document.
    arena_.Destroy();
  }

  DocumentArrayOperands& Source(uint32_t number) {
    runtime::ObjectHandle array = (*document_)->GetObject(number, 0);
    return *runtime::NewInArena<DocumentArrayOperands>(arena_, array, &**document_, arena_);
  }

  std::string bytes_;
  std::optional<pdftest::OpenDocument> document_;
};

TEST_F(DocumentArrayOperandsTest, ReferencesResolveAndAnswersOutliveTheirHandles) {
  DocumentArrayOperands& space = Source(6);
  EXPECT_EQ(space.Count(), 6u);
  EXPECT_EQ(space.TypeAt(0), ObjectTag::kName);
  const std::string_view family = space.NameAt(0);
  const auto [first, end] = space.StringAt(3);
  EXPECT_EQ(space.IntAt(2), 1);
  EXPECT_EQ(runtime::Dictionary::GetIntegerOr(space.DictionaryAt(5), "K", 0), 1);
  EXPECT_EQ(space.ArrayHandle().Tag(), ObjectTag::kArray);
  // Reached through references, yet still readable after other reads.
  EXPECT_EQ(Text(family), "Indexed");
  EXPECT_EQ(std::string(first, end), "abc");

  DocumentArrayOperands& deviceN = Source(4);
  EXPECT_EQ(deviceN.CountOfArrayAt(1), 3u);
  EXPECT_EQ(Text(deviceN.NameInArrayAt(1, 2)), "C");
  ColorSpaceOperands* names = deviceN.SubArrayAt(1);
  ASSERT_NE(names, nullptr);
  EXPECT_EQ(names->Count(), 3u);
  EXPECT_EQ(Text(names->NameAt(1)), "B");

  struct Bad {
    const char* name;
    std::function<void()> access;
  };
  const Bad bad[] = {
      {"integer as a name", [&] { space.NameAt(2); }},
      {"past the end", [&] { space.IntAt(6); }},
      {"name as a dictionary", [&] { space.DictionaryAt(1); }},
      {"string as a stream", [&] { space.StreamAt(4); }},
      {"dictionary that is no stream", [&] { Source(10).StreamAt(1); }},
      {"name as an array", [&] { space.SubArrayAt(1); }},
      {"no array at all", [&] { Source(7); }},
  };
  for (const Bad& b : bad) EXPECT_EQ(RaisedCode(b.access), 2u) << b.name;
}

TEST_F(DocumentArrayOperandsTest, ComponentCountsOfDocumentSpaces) {
  struct Case {
    uint32_t object;
    uint32_t components;
  };
  const Case cases[] = {{2, 4}, {4, 3}, {6, 1}, {9, 3}, {11, 1}};
  for (const Case& c : cases) {
    EXPECT_EQ(content::ComponentCount(Source(c.object), false), c.components) << c.object;
  }
  EXPECT_EQ(RaisedCode([&] { content::ComponentCount(Source(10), false); }), 2u);
}

}  // namespace
