#include "runtime/Dictionary.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <vector>

#include "runtime/ErrorTrap.h"
#include "tests/support/RaisedCode.h"
#include "runtime/LibraryContext.h"
#include "runtime/ValueStore.h"

namespace runtime {
namespace {

using testsupport::RaisedCode;

// Stands in for the document: object n is a value kept in its own store.
class FakeResolver : public ReferenceResolver {
 public:
  explicit FakeResolver(LibraryContext* context)
      : store_(StoreRef::Adopt(context, ValueStore::New(context))) {}
  void Define(uint32_t number, const ObjectValue& value) { objects_[number] = value; }
  ObjectHandle Resolve(LibraryContext* context, const ObjectReference& reference) override {
    ++resolved;
    auto found = objects_.find(reference.number);
    if (found == objects_.end()) return ObjectHandle();
    return ObjectHandle(context, &found->second, store_.Get(), this);
  }
  ValueStore& Store() { return *store_; }
  int resolved = 0;

 private:
  StoreRef store_;
  std::map<uint32_t, ObjectValue> objects_;
};

class DictionaryTest : public ::testing::Test {
 protected:
  ObjectValue Dict(std::initializer_list<ObjectValue> entries) {
    return store->Dictionary(entries.begin(), static_cast<uint32_t>(entries.size()));
  }
  ObjectValue Name(const char* text) { return store->Name(text); }
  ObjectValue Int(int32_t value) { return ObjectValue::Integer(value); }
  // A handle on a value kept alive by the fixture's store.
  ObjectHandle Handle(const ObjectValue& value) {
    kept.push_back(value);
    return ObjectHandle(&context, &kept.back(), store.Get(), &resolver);
  }

  LibraryContext context;
  StoreRef store = StoreRef::Adopt(&context, ValueStore::New(&context));
  FakeResolver resolver{&context};
  std::deque<ObjectValue> kept;
};

TEST_F(DictionaryTest, FindByNameWalksKeysAndChecksShape) {
  const ObjectValue good = Dict({Name("Type"), Name("Page"), Name("Count"), Int(3)});
  EXPECT_EQ(Dictionary::FindByName(good, "Count")->AsInteger(), 3);
  EXPECT_EQ(Dictionary::FindByName(good, "Type")->AsName().View(), "Page");
  // Absent keys, including prefixes and extensions of present ones, give
  // the shared null and do not throw.
  for (const char* absent : {"Coun", "Counts", "", "type"}) {
    EXPECT_EQ(Dictionary::FindByName(good, absent), &kNullValue) << absent;
  }
  EXPECT_EQ(kNullValue.tag, ObjectTag::kNull);

  struct Case {
    const char* name;
    ObjectValue dictionary;
    const char* key;
    bool raises;
  } cases[] = {
      // An integer where a key belongs raises even though the wanted key
      // comes later.
      {"non-name key before match", Dict({Int(1), Int(2), Name("K"), Int(3)}), "K", true},
      {"non-name key after match", Dict({Name("K"), Int(3), Int(1), Int(2)}), "K", false},
      {"odd count, match first", Dict({Name("K"), Int(3), Name("L")}), "K", false},
      {"odd count, key without value", Dict({Name("K"), Int(3), Name("L")}), "L", true},
      {"odd count, absent key", Dict({Name("K"), Int(3), Name("L")}), "M", true},
      {"empty", Dict({}), "K", false},
      {"not a dictionary", store->Array(nullptr, 0), "K", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RaisedCode([&] { Dictionary::FindByName(c.dictionary, c.key); }).has_value(),
              c.raises)
        << c.name;
  }
}

TEST_F(DictionaryTest, InlineImageKeysMatchFullNamesAndAbbreviations) {
  const ObjectValue image = Dict({Name("W"), Int(8), Name("I"), ObjectValue::Boolean(true),
                                  Name("BitsPerComponent"), Int(1)});
  EXPECT_EQ(Dictionary::FindInlineImageKey(image, KeyRow::kWidth, true)->AsInteger(), 8);
  EXPECT_EQ(Dictionary::FindInlineImageKey(image, KeyRow::kWidth, false), &kNullValue);
  EXPECT_TRUE(Dictionary::FindInlineImageKey(image, KeyRow::kInterpolate, true)->AsBoolean());
  // "I" is also the abbreviation of Indexed.
  EXPECT_TRUE(Dictionary::FindInlineImageKey(image, KeyRow::kIndexed, true)->AsBoolean());
  EXPECT_EQ(Dictionary::FindInlineImageKey(image, KeyRow::kBitsPerComponent, false)->AsInteger(),
            1);
  EXPECT_EQ(Dictionary::GetByNamePair(Handle(image), KeyRow::kWidth)->AsInteger(), 8);
  EXPECT_STREQ(KeyNames(KeyRow::kDCTDecode).abbreviation, "DCT");
  EXPECT_EQ(RaisedCode([] { KeyNames(static_cast<KeyRow>(kKeyRowCount)); }), kMalformed);
}

TEST_F(DictionaryTest, TypedAccessorsResolveAndFallBack) {
  resolver.Define(5, Int(42));
  resolver.Define(6, ObjectValue::Null());
  resolver.Define(7, ObjectValue::Real(0x8000));
  const ObjectHandle dict = Handle(Dict({
      Name("Direct"), Int(3),
      Name("Indirect"), store->Reference(5, 0),
      Name("NullRef"), store->Reference(6, 0),
      Name("Missing"), store->Reference(99, 0),
      Name("Null"), ObjectValue::Null(),
      Name("Real"), store->Reference(7, 0),
      Name("Flag"), ObjectValue::Boolean(true),
      Name("Huge"), store->Overflowed(0x7FFFFFFF),
      Name("Text"), store->String("abc"),
  }));
  EXPECT_EQ(Dictionary::GetIntegerOr(dict, "Indirect", -1), 42);
  EXPECT_EQ(Dictionary::GetIntegerOr(dict, "Huge", -1), 0x7FFFFFFF);
  EXPECT_EQ(Dictionary::GetInteger(dict, "Direct"), 3);
  EXPECT_EQ(Dictionary::GetNumberOr(dict, "Direct", 0), 0x30000);
  EXPECT_EQ(Dictionary::GetNumberOr(dict, "Real", 0), 0x8000);
  EXPECT_EQ(Dictionary::GetNumberOr(dict, "Huge", 0), 0x7FFF0000);
  EXPECT_EQ(Dictionary::GetNumberByKey(dict, "Real"), 0x8000);
  EXPECT_EQ(Dictionary::GetNumberByKey(dict, "Indirect"), 42 << 16);
  EXPECT_EQ(testsupport::RaisedCode([&] { Dictionary::GetNumberByKey(dict, "Text"); }), kMalformed);
  EXPECT_TRUE(Dictionary::GetBooleanOr(dict, "Flag", false));
  EXPECT_EQ(Dictionary::GetString(dict, "Text")->AsString().View(), "abc");
  EXPECT_TRUE(Dictionary::Get(dict, "Absent").IsNull());
  EXPECT_EQ(Dictionary::Get(dict, "Indirect")->AsInteger(), 42);

  // Absent, null, and references to null or to nothing all take the default.
  for (const char* key : {"Absent", "Null", "NullRef", "Missing"}) {
    EXPECT_EQ(Dictionary::GetIntegerOr(dict, key, -7), -7) << key;
    EXPECT_EQ(Dictionary::GetNumberOr(dict, key, 0x1234), 0x1234) << key;
    // The required form refuses them.
    EXPECT_EQ(testsupport::RaisedCode([&] { Dictionary::GetNumberByKey(dict, key); }), kMalformed) << key;
    EXPECT_FALSE(Dictionary::GetBooleanOr(dict, key, false)) << key;
    EXPECT_EQ(RaisedCode([&] { Dictionary::GetRequired(dict, key); }), kMalformed) << key;
    EXPECT_EQ(RaisedCode([&] { Dictionary::GetInteger(dict, key); }), kMalformed) << key;
  }
  // Present with the wrong type raises.
  struct Wrong {
    const char* key;
    std::function<void()> read;
  } wrong[] = {
      {"GetIntegerOr real", [&] { Dictionary::GetIntegerOr(dict, "Real", 0); }},
      {"GetNumberOr boolean", [&] { Dictionary::GetNumberOr(dict, "Flag", 0); }},
      {"GetBooleanOr integer", [&] { Dictionary::GetBooleanOr(dict, "Direct", false); }},
      {"GetName string", [&] { Dictionary::GetName(dict, "Text"); }},
      {"Get on an integer", [&] { Dictionary::Get(Dictionary::Get(dict, "Direct"), "K"); }},
  };
  for (const Wrong& w : wrong) EXPECT_EQ(RaisedCode(w.read), kMalformed) << w.key;
}

TEST_F(DictionaryTest, ArrayAccessorsCheckTheIndex) {
  resolver.Define(1, Int(10));
  const ObjectValue elements[] = {Int(5), store->Reference(1, 0), store->Name("N")};
  const ObjectHandle array = Handle(store->Array(elements, 3));
  EXPECT_EQ(Array::Count(array), 3u);
  EXPECT_EQ(Array::GetInteger(array, 0), 5);
  EXPECT_EQ(Array::GetInteger(array, 1), 10);
  EXPECT_EQ(Array::Get(array, 2)->AsName().View(), "N");
  EXPECT_EQ(RaisedCode([&] { Array::Get(array, 3); }), kMalformed);
  EXPECT_EQ(RaisedCode([&] { Array::Get(array, UINT32_MAX); }), kMalformed);
  EXPECT_EQ(RaisedCode([&] { Array::GetInteger(array, 2); }), kMalformed);
  EXPECT_EQ(RaisedCode([&] { Array::Count(Handle(Int(1))); }), kMalformed);
}

TEST_F(DictionaryTest, GetArrayAtResolvesChecksAndReleasesItsTemporary) {
  const ObjectValue inner[] = {Int(1), Int(2)};
  resolver.Define(4, resolver.Store().Array(inner, 2));
  resolver.Define(6, Int(3));
  const ObjectValue elements[] = {store->Array(inner, 2), store->Reference(4, 0),
                                  store->Reference(6, 0), Int(9)};
  const ObjectHandle array = Handle(store->Array(elements, 4));
  EXPECT_EQ(Array::Count(Array::GetArrayAt(array, 0)), 2u);
  EXPECT_EQ(Array::GetInteger(Array::GetArrayAt(array, 1), 1), 2);
  const uint32_t resolverCount = resolver.Store().refCount;
  for (uint32_t index : {2u, 3u, 4u}) {
    EXPECT_EQ(RaisedCode([&] { Array::GetArrayAt(array, index); }), kMalformed) << index;
  }
  EXPECT_EQ(resolver.Store().refCount, resolverCount);
}

TEST_F(DictionaryTest, AccessorThrowLeavesStoreCountsAsBefore) {
  resolver.Define(5, resolver.Store().String("not a number"));
  const ObjectHandle dict = Handle(Dict({Name("Ref"), store->Reference(5, 0)}));
  const uint32_t ownCount = store->refCount;
  const uint32_t resolverCount = resolver.Store().refCount;
  EXPECT_EQ(RaisedCode([&] { Dictionary::GetIntegerOr(dict, "Ref", 0); }), kMalformed);
  EXPECT_EQ(RaisedCode([&] {
              ObjectHandle held = Dictionary::GetRequired(dict, "Ref");
              EXPECT_EQ(resolver.Store().refCount, resolverCount + 1);
              held->AsInteger();
            }),
            kMalformed);
  EXPECT_EQ(store->refCount, ownCount);
  EXPECT_EQ(resolver.Store().refCount, resolverCount);
}

}  // namespace
}  // namespace runtime
