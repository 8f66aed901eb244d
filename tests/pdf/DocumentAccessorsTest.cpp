// The small accessors over a document's objects: the typed getters and the
// entry iterator of dictionaries, destinations as a link writes them, and
// the page-slot window of the multi-page view.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "pdf/DestinationRef.h"
#include "pdf/PageSlotWindow.h"
#include "runtime/Dictionary.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/CaughtError.h"

namespace {

using runtime::Dictionary;
using runtime::ObjectHandle;
using runtime::ObjectTag;

class DocumentAccessorsTest : public ::testing::Test {
 protected:
  // Object 1 holds one entry of each kind; object 2 is a dictionary that
  // object 1 refers to.
  DocumentAccessorsTest()
      : text_(pdftest::PdfWriter()
                  .Object(1, "<< /Dict << /K 1 >> /Array [1 2] /Name /Fit /Ref 2 0 R /Int 7"
                             " /Null null /Gone 9 0 R >>")
                  .Object(2, "<< /Type /Sample >>")
                  .ClassicTable("/Root 1 0 R")
                  .Text()),
        document_(&context_, text_) {}

  ObjectHandle Object() { return document_->GetObject(1, 0); }

  runtime::LibraryContext context_;
  std::string text_;
  pdftest::OpenDocument document_;
};

// Each getter on each kind of entry: the value's kind, null, or the code.
TEST_F(DocumentAccessorsTest, TypedGettersCheckPresenceAndKind) {
  using Getter = std::function<ObjectHandle(const ObjectHandle&, std::string_view)>;
  const Getter dict = Dictionary::GetDict;
  const Getter array = Dictionary::GetArray;
  const Getter optionalDict = Dictionary::GetOptionalDict;
  const Getter optionalArray = Dictionary::GetOptionalArray;
  const Getter optionalName = Dictionary::GetOptionalTyped;
  const Getter dictByAtom = Dictionary::GetDictByAtom;
  const struct {
    const char* name;
    const Getter& getter;
    const char* key;
    long code;  // -1: no error
    ObjectTag tag;
  } cases[] = {
      {"dict", dict, "Dict", -1, ObjectTag::kDictionary},
      {"dict through a reference", dict, "Ref", -1, ObjectTag::kDictionary},
      {"dict absent", dict, "Missing", 2, ObjectTag::kNull},
      {"dict null", dict, "Null", 2, ObjectTag::kNull},
      {"dict of an array", dict, "Array", 2, ObjectTag::kNull},
      {"dict by atom through a reference", dictByAtom, "Ref", -1, ObjectTag::kDictionary},
      {"dict by atom absent", dictByAtom, "Missing", 2, ObjectTag::kNull},
      {"dict by atom of an integer", dictByAtom, "Int", 2, ObjectTag::kNull},
      {"array", array, "Array", -1, ObjectTag::kArray},
      {"array absent", array, "Missing", 2, ObjectTag::kNull},
      {"array of an integer", array, "Int", 2, ObjectTag::kNull},
      {"optional dict absent", optionalDict, "Missing", -1, ObjectTag::kNull},
      {"optional dict of a reference to nothing", optionalDict, "Gone", -1, ObjectTag::kNull},
      {"optional dict of a name", optionalDict, "Name", 2, ObjectTag::kNull},
      {"optional array", optionalArray, "Array", -1, ObjectTag::kArray},
      {"optional array of a dict", optionalArray, "Dict", 2, ObjectTag::kNull},
      {"optional name", optionalName, "Name", -1, ObjectTag::kName},
      {"optional name absent", optionalName, "Missing", -1, ObjectTag::kNull},
      {"optional name of an integer", optionalName, "Int", 2, ObjectTag::kNull},
  };
  for (const auto& c : cases) {
    ObjectTag tag = ObjectTag::kNull;
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] { tag = c.getter(Object(), c.key).Tag(); }),
              c.code)
        << c.name;
    EXPECT_EQ(tag, c.tag) << c.name;
  }
  EXPECT_EQ(Dictionary::GetTyped(Object(), "Int", ObjectTag::kInteger)->AsInteger(), 7);
  EXPECT_EQ(Dictionary::GetTypedByAtom(Object(), "Int", ObjectTag::kInteger)->AsInteger(), 7);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] {
              Dictionary::GetTypedByAtom(Object(), "Int", ObjectTag::kName);
            }),
            2);

  runtime::ObjectReference reference{};
  EXPECT_TRUE(Dictionary::GetOptionalRef(Object(), "Ref", &reference));
  EXPECT_EQ(reference.number, 2u);
  EXPECT_FALSE(Dictionary::GetOptionalRef(Object(), "Missing", &reference));
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] {
              Dictionary::GetOptionalRef(Object(), "Int", &reference);
            }),
            2);
}

// The iterator gives the entries in the order written, references followed.
TEST_F(DocumentAccessorsTest, IteratorWalksEntriesInOrder) {
  std::string keys;
  for (runtime::DictionaryIterator it(Object()); !it.AtEnd(); it.Next()) {
    const Dictionary::Entry entry = it.GetEntry();
    keys += std::string(entry.key) + ":" + std::to_string(static_cast<int>(entry.value.Tag())) + " ";
  }
  EXPECT_EQ(keys, "Dict:7 Array:6 Name:4 Ref:7 Int:2 Null:0 Gone:0 ");
  EXPECT_EQ(Dictionary::GetEntryAt(Object(), 3).key, "Ref");
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] { Dictionary::GetEntryAt(Object(), 7); }), 2);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] {
              runtime::DictionaryIterator it(Dictionary::Get(Object(), "Array"));
            }),
            2);
}

// A destination as written: a name or string is kept for a later lookup,
// an array is read with its page given by number.
TEST_F(DocumentAccessorsTest, DestinationRefKeepsNamesAndReadsArrays) {
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog >>")
      .Object(2, "/Chapter#201")
      .Object(3, "(intro)")
      .Object(4, "[3 /FitH 700]")
      .Object(5, "[null /Fit]")
      .Object(6, "[2 0 R /Fit]")
      .Object(7, "12")
      .ClassicTable("/Root 1 0 R");
  pdftest::OpenDocument document(&context_, writer.Text());
  const struct {
    uint32_t object;
    long code;
    pdf::DestinationRef::Kind kind;
    const char* text;
    int32_t page;
  } cases[] = {
      {2, -1, pdf::DestinationRef::kName, "Chapter 1", -1},
      {3, -1, pdf::DestinationRef::kString, "intro", -1},
      {4, -1, pdf::DestinationRef::kExplicit, "", 3},
      {5, -1, pdf::DestinationRef::kExplicit, "", 9},  // the caller's page
      {6, 2, pdf::DestinationRef::kExplicit, "", -1},  // no page number
      {7, 2, pdf::DestinationRef::kExplicit, "", -1},  // no array
  };
  for (const auto& c : cases) {
    pdf::DestinationRef ref;
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] {
                ref = pdf::DestinationRef::Parse(document->GetObject(c.object, 0), 9);
              }),
              c.code)
        << c.object;
    if (c.code != -1) continue;
    EXPECT_EQ(ref.kind, c.kind) << c.object;
    EXPECT_EQ(ref.Text(), c.text) << c.object;
    EXPECT_EQ(ref.target.pageIndex, c.page) << c.object;
  }
  const pdf::DestinationRef fit = pdf::DestinationRef::Parse(document->GetObject(4, 0), 0);
  EXPECT_STREQ(fit.target.fit, "FitH");
}

struct Slotted {
  uint32_t refCount = 1;
  int32_t page;
};

TEST(PageSlotWindowTest, ServesOnlyThePagesOfTheLiveWindow) {
  runtime::LibraryContext context;
  // Pages 10 to 24, three to a row; rows 2 and 3 and all columns are live.
  pdf::PageSlotWindow<Slotted> window(&context, 10, 3, 5, {0, 2, 3, 4});
  ASSERT_EQ(window.SlotCount(), 6u);
  for (uint32_t i = 0; i < window.SlotCount(); ++i) {
    auto* item = runtime::NewObject<Slotted>(&context);
    item->page = 16 + static_cast<int32_t>(i);
    window.Slot(i) = runtime::CountedRef<Slotted>::Adopt(&context, item);
  }
  EXPECT_EQ(window.SlotOf(17), 1);  // row 2, column 1
  EXPECT_EQ(window.Get(17)->page, 17);
  EXPECT_EQ(window.Get(21)->page, 21);
  for (int32_t outside : {12, 15, 22, 9, 25, -1}) {
    EXPECT_FALSE(window.Get(outside)) << outside;
  }
  // A narrower window leaves columns out.
  pdf::PageSlotWindow<Slotted> narrow(&context, 0, 4, 2, {1, 0, 3, 2});
  EXPECT_EQ(narrow.SlotOf(0), -1);
  EXPECT_EQ(narrow.SlotOf(2), 1);
  EXPECT_EQ(narrow.SlotOf(5), 2);
  EXPECT_EQ(narrow.SlotOf(7), -1);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] {
              pdf::PageSlotWindow<Slotted> bad(&context, 0, 3, 2, {0, 0, 4, 2});
            }),
            2);
  // A window whose sides multiply past 32 bits is refused before anything
  // is sized to it.
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] {
              pdf::PageSlotWindow<Slotted> huge(&context, 0, 100000, 100000,
                                                {0, 0, 100000, 100000});
            }),
            1);
}

}  // namespace
