#include "runtime/ObjectValue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>

#include "runtime/ArenaAllocator.h"
#include "runtime/ErrorTrap.h"
#include "tests/support/RaisedCode.h"
#include "runtime/LibraryContext.h"
#include "runtime/OperandStack.h"
#include "runtime/StringValue.h"
#include "runtime/ValueStore.h"

namespace runtime {
namespace {

// Runs `body` in a trap; the runtime code it raised, or nothing.
using testsupport::RaisedCode;

class ObjectValueTest : public ::testing::Test {
 protected:
  LibraryContext context;
  StoreRef store = StoreRef::Adopt(&context, ValueStore::New(&context));
};

TEST_F(ObjectValueTest, CopyToArenaCopiesEveryBlockIntoTheArena) {
  const ObjectValue inner[] = {store->Name("Key"), store->String(std::string_view("a\0b", 3)),
                               store->Name("Ref"), store->Reference(12, 3)};
  const ObjectValue items[] = {ObjectValue::Null(),         ObjectValue::Boolean(true),      ObjectValue::Integer(-5),
                               ObjectValue::Real(0x18000),  store->Overflowed(0x7FFFFFFF),   store->Array(nullptr, 0),
                               store->Dictionary(inner, 4)};
  const ObjectValue source = store->Array(items, 7);
  ArenaAllocator arena(&context, 4096, 1024);
  const ObjectValue copy = ObjectValue::CopyToArena(arena, source);
  ASSERT_EQ(copy.tag, ObjectTag::kArray);
  ASSERT_NE(copy.payload.list, source.payload.list);
  const ValueList& list = copy.AsArray();
  ASSERT_EQ(list.count, 7u);
  EXPECT_TRUE(list.items[0].IsNull());
  EXPECT_TRUE(list.items[1].AsBoolean());
  EXPECT_EQ(list.items[2].AsInteger(), -5);
  EXPECT_EQ(list.items[3].AsNumber(), 0x18000);
  EXPECT_EQ(list.items[4].AsInteger(), 0x7FFFFFFF);
  EXPECT_NE(list.items[4].payload.overflowed, items[4].payload.overflowed);
  EXPECT_EQ(list.items[5].AsArray().count, 0u);
  const ValueList& dict = list.items[6].AsDictionary();
  ASSERT_EQ(dict.count, 4u);
  EXPECT_EQ(dict.items[0].AsName().View(), "Key");
  // A string's bytes, an inner zero included, and the terminating zero.
  const ByteString& text = dict.items[1].AsString();
  EXPECT_NE(&text, &inner[1].AsString());
  EXPECT_EQ(text.View(), std::string_view("a\0b", 3));
  EXPECT_EQ(text.Bytes()[3], 0);
  EXPECT_EQ(dict.items[3].AsReference().number, 12u);
  EXPECT_EQ(dict.items[3].AsReference().generation, 3u);
  EXPECT_NE(dict.items[3].payload.reference, inner[3].payload.reference);

  // Nesting beyond the bound is refused.
  ObjectValue deep = store->Array(nullptr, 0);
  for (uint32_t i = 0; i <= ObjectValue::kMaxCopyDepth; ++i) deep = store->Array(&deep, 1);
  EXPECT_EQ(RaisedCode([&] { ObjectValue::CopyToArena(arena, deep); }), kStackExhausted);
}

TEST_F(ObjectValueTest, IntegerAndNumberReadersAcceptTheirTagsOnly) {
  const ObjectValue values[] = {
      ObjectValue::Null(),         ObjectValue::Boolean(true), ObjectValue::Integer(7),
      ObjectValue::Real(0x18000),  store->Name("N"),           store->String("s"),
      store->Array(nullptr, 0),    store->Dictionary(nullptr, 0),
      store->Reference(4, 0),      store->Overflowed(0x7FFFFFFF),
  };
  for (const ObjectValue& value : values) {
    const uint32_t tag = static_cast<uint32_t>(value.tag);
    const bool integer = tag == 2 || tag == 9;
    const bool number = integer || tag == 3;
    EXPECT_EQ(RaisedCode([&] { value.AsInteger(); }).has_value(), !integer) << tag;
    EXPECT_EQ(RaisedCode([&] { value.AsNumber(); }).has_value(), !number) << tag;
    EXPECT_EQ(RaisedCode([&] { value.AsBoolean(); }).has_value(), tag != 1) << tag;
    EXPECT_EQ(RaisedCode([&] { value.AsName(); }).has_value(), tag != 4) << tag;
    EXPECT_EQ(RaisedCode([&] { value.AsString(); }).has_value(), tag != 5) << tag;
    EXPECT_EQ(RaisedCode([&] { value.AsArray(); }).has_value(), tag != 6) << tag;
    EXPECT_EQ(RaisedCode([&] { value.AsDictionary(); }).has_value(), tag != 7) << tag;
    EXPECT_EQ(RaisedCode([&] { value.AsReference(); }).has_value(), tag != 8) << tag;
    EXPECT_EQ(value.IsNumber(), number) << tag;
  }
  EXPECT_EQ(RaisedCode([&] { values[0].AsInteger(); }), kMalformed);
  EXPECT_EQ(values[2].AsInteger(), 7);
  EXPECT_EQ(values[3].AsNumber(), 0x18000);
  EXPECT_EQ(values[4].AsName().View(), "N");
  EXPECT_EQ(values[8].AsReference().number, 4u);
}

// Dictionary values and operands clamp integers to Fixed differently.
TEST_F(ObjectValueTest, NumberClampTables) {
  struct Case {
    int32_t integer;
    uint32_t asNumber;
    uint32_t popNumber;
  } cases[] = {
      {0, 0, 0},
      {1, 0x10000, 0x10000},
      {-1, 0xFFFF0000, 0xFFFF0000},
      {32767, 0x7FFF0000, 0x7FFF0000},
      {32768, 0x7FFF0000, 0x7FFFFFFF},
      {-32767, 0x80010000, 0x80010000},
      {-32768, 0x80000000, 0x80000001},
      {-32769, 0x80000000, 0x80000001},
      {INT32_MAX, 0x7FFF0000, 0x7FFFFFFF},
      {INT32_MIN, 0x80000000, 0x80000001},
  };
  OperandStack stack(&context);
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<uint32_t>(ObjectValue::Integer(c.integer).AsNumber()), c.asNumber)
        << c.integer;
    stack.PushInteger(c.integer);
    EXPECT_EQ(static_cast<uint32_t>(stack.PeekNumber(0)), c.asNumber) << c.integer;
    EXPECT_EQ(static_cast<uint32_t>(stack.PopNumber()), c.popNumber) << c.integer;
    // An overflowed literal reads as the integer in its cell, both ways.
    const ObjectValue overflowed = store->Overflowed(c.integer);
    EXPECT_EQ(overflowed.AsInteger(), c.integer);
    EXPECT_EQ(static_cast<uint32_t>(overflowed.AsNumber()), c.asNumber) << c.integer;
    stack.PushValue(overflowed);
    EXPECT_EQ(static_cast<uint32_t>(stack.PopNumber()), c.popNumber) << c.integer;
  }
  stack.PushReal(-0x8000);
  EXPECT_EQ(stack.PopNumber(), -0x8000);
  EXPECT_TRUE(stack.IsEmpty());
}

TEST_F(ObjectValueTest, StoredStringsKeepBytesAndATerminatingZero) {
  const char raw[] = {'a', '\0', 'b'};
  const ByteString* text = store->NewByteString(std::string_view(raw, 3));
  EXPECT_EQ(text->length, 3u);
  EXPECT_EQ(text->View(), std::string_view(raw, 3));
  EXPECT_EQ(text->Bytes()[3], 0);
  const ByteString* empty = store->NewByteString("");
  EXPECT_EQ(empty->length, 0u);
  EXPECT_EQ(empty->Bytes()[0], 0);
  // A value too large for a shared chunk still lands in the store.
  std::string large(5000, 'x');
  EXPECT_EQ(store->NewByteString(large)->View(), large);
  EXPECT_GT(store->BytesHeld(), 5000u);
}

TEST_F(ObjectValueTest, CopyToCStringStopsAtTheFirstZero) {
  struct Case {
    ObjectValue value;
    const char* expected;
  } cases[] = {
      {store->String(std::string_view("ab\0cd", 5)), "ab"},
      {store->Name("Helvetica"), "Helvetica"},
      {store->String(""), ""},
      {store->String(std::string_view("\0", 1)), ""},
  };
  OwnedBuffer buffer(&context, &context, 0);
  for (const Case& c : cases) {
    StringValue::CopyToCString(c.value, buffer);
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer.Data()), c.expected);
    EXPECT_EQ(buffer.Count(), std::strlen(c.expected) + 1);
  }
  EXPECT_EQ(RaisedCode([&] { StringValue::CopyToCString(ObjectValue::Integer(1), buffer); }),
            kMalformed);
}

TEST_F(ObjectValueTest, LastStoreReleaseFreesEveryValue) {
  const uint64_t before = context.memory.bytesInUse;
  {
    StoreRef other = StoreRef::Adopt(&context, ValueStore::New(&context));
    for (int i = 0; i < 200; ++i) other->String("some bytes that fill a chunk");
    EXPECT_GT(context.memory.bytesInUse, before + 200 * 28);
  }
  EXPECT_EQ(context.memory.bytesInUse, before);
}

}  // namespace
}  // namespace runtime
