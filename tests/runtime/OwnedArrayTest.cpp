#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "platform/Heap.h"
#include "runtime/ErrorTrap.h"
#include "runtime/OwnedArray.h"
#include "runtime/OwnedBuffer.h"
#include "runtime/OwnedBufferPtr.h"
#include "runtime/RecordVector.h"
#include "runtime/SmallArray.h"
#include "runtime/ThreadState.h"
#include "tests/support/CaughtError.h"

namespace runtime {
namespace {

using testsupport::RuntimeCodeOf;

std::string Text(const OwnedBuffer& buffer) {
  return std::string(reinterpret_cast<const char*>(buffer.Data()), buffer.Count());
}

void Fill(OwnedBuffer& buffer, const char* text) {
  buffer.Resize(static_cast<uint32_t>(std::strlen(text)));
  std::memcpy(buffer.Data(), text, buffer.Count());
}

class OwnedArrayTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::GetHeapTestHooks() = {}; }
  LibraryContext context;
};

TEST_F(OwnedArrayTest, ResizeKeepCopyAssignAndSwap) {
  {
    OwnedBuffer buffer(&context, &context, 0);
    EXPECT_EQ(buffer.Data(), nullptr);
    Fill(buffer, "abcdef");
    const uint8_t* before = buffer.Data();
    buffer.ResizeKeep(6);  // same size: nothing happens
    EXPECT_EQ(buffer.Data(), before);
    buffer.ResizeKeep(3);
    EXPECT_EQ(Text(buffer), "abc");
    buffer.ResizeKeep(5);
    EXPECT_EQ(buffer.ByteSize(), 5u);
    EXPECT_EQ(Text(buffer).substr(0, 3), "abc");

    OwnedBuffer copy(buffer);
    EXPECT_NE(copy.Data(), buffer.Data());
    EXPECT_EQ(Text(copy), Text(buffer));
    OwnedBuffer other(&context, &context, 0);
    Fill(other, "xy");
    copy = other;
    EXPECT_EQ(Text(copy), "xy");
    OwnedBuffer::Swap(copy, buffer);
    EXPECT_EQ(Text(buffer), "xy");
    EXPECT_EQ(copy.Count(), 5u);

    OwnedArray<uint32_t> words(&context, &context, 3);
    EXPECT_EQ(words.ByteSize(), 12u);
    EXPECT_EQ(RuntimeCodeOf(&context, [&] { words.Resize(0x40000000); }), kOverflow);
    EXPECT_EQ(words.Count(), 3u);  // a refused resize changes nothing
  }
  EXPECT_EQ(context.memory.bytesInUse, 0u);
}

TEST_F(OwnedArrayTest, FailedGrowthKeepsOldContentsAndAThrowFreesStorage) {
  OwnedBuffer buffer(&context, &context, 0);
  Fill(buffer, "keep");
  platform::GetHeapTestHooks().failAlways = true;
  std::optional<ErrorRecord> error =
      testsupport::CaughtError(&context, [&] { buffer.ResizeKeep(100); });
  platform::GetHeapTestHooks() = {};
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->IsRuntime(kOutOfMemory));
  EXPECT_EQ(error->flag, 0);
  EXPECT_EQ(Text(buffer), "keep");

  const uint64_t before = context.memory.bytesInUse;
  EXPECT_EQ(RuntimeCodeOf(&context,
                          [&] {
                            OwnedArray<uint64_t> doomed(&context, &context, 1000);
                            RecordVector<uint64_t> records(&context, &context, 50);
                            SmallArray8<int32_t> small(&context, 40);
                            OwnedBufferPtr raw(&context, AllocOrThrow(&context, 77));
                            ThrowRuntime(kMalformed);
                          }),
            kMalformed);
  EXPECT_EQ(context.memory.bytesInUse, before);
}

TEST_F(OwnedArrayTest, SmallWordBufferKeepsFourWordsInline) {
  SmallWordBuffer words(&context, 0);
  struct Step {
    uint32_t count;
    bool inlineStorage;
  } steps[] = {{4, true}, {5, false}, {3, true}, {0, true}};
  for (const Step& step : steps) {
    words.Resize(step.count);
    EXPECT_EQ(words.Count(), step.count);
    EXPECT_EQ(words.IsInline(), step.inlineStorage) << step.count;
    // Going back to inline storage frees the heap array.
    EXPECT_EQ(context.memory.bytesInUse == 0, step.inlineStorage) << step.count;
  }
}

TEST_F(OwnedArrayTest, SmallArrayResizeKeepCarriesValuesAcrossTheInlineLimit) {
  SmallArray8<int32_t> array(&context, 10);
  for (uint32_t i = 0; i < 10; ++i) array[i] = static_cast<int32_t>(100 + i);
  // 10 -> 3: the first three move into the inline slots, the heap goes.
  array.ResizeKeep(3);
  ASSERT_TRUE(array.IsInline());
  EXPECT_EQ(context.memory.bytesInUse, 0u);
  EXPECT_EQ(array[0], 100);
  EXPECT_EQ(array[2], 102);
  // 3 -> 10: the three move to the heap; the rest is not promised.
  array.ResizeKeep(10);
  ASSERT_FALSE(array.IsInline());
  EXPECT_EQ(array[0], 100);
  EXPECT_EQ(array[2], 102);
  // Owned to owned keeps the common part; the same count changes nothing.
  array[9] = 7;
  array.ResizeKeep(12);
  EXPECT_EQ(array[9], 7);
  array.ResizeKeep(12);
  EXPECT_EQ(array.Count(), 12u);
  array.ResizeKeep(0);
  EXPECT_EQ(array.Count(), 0u);
  EXPECT_EQ(context.memory.bytesInUse, 0u);
}

TEST_F(OwnedArrayTest, SmallArrayMovesBetweenInlineAndOwnedStorage) {
  SmallArray8<int32_t> array(&context, 10);
  EXPECT_FALSE(array.IsInline());
  EXPECT_EQ(array.Owned().Count(), 10u);
  array.Resize(3);
  EXPECT_TRUE(array.IsInline());
  EXPECT_EQ(array.Owned().Data(), nullptr);
  EXPECT_EQ(context.memory.bytesInUse, 0u);
  array.Resize(0);
  EXPECT_EQ(array.Count(), 0u);

  struct Case {
    const char* name;
    uint32_t countA, countB;
  } cases[] = {
      {"both inline", 3, 7},
      {"inline and owned", 2, 12},
      {"owned and inline", 9, 1},
      {"both owned", 20, 11},
  };
  for (const Case& c : cases) {
    SmallArray8<int32_t> a(&context, c.countA), b(&context, c.countB);
    std::iota(a.Elements().begin(), a.Elements().end(), 100);
    std::iota(b.Elements().begin(), b.Elements().end(), 200);
    SmallArray8<int32_t>::Swap(a, b);
    ASSERT_EQ(a.Count(), c.countB) << c.name;
    ASSERT_EQ(b.Count(), c.countA) << c.name;
    for (uint32_t i = 0; i < a.Count(); ++i)
      EXPECT_EQ(a[i], 200 + static_cast<int32_t>(i)) << c.name;
    for (uint32_t i = 0; i < b.Count(); ++i)
      EXPECT_EQ(b[i], 100 + static_cast<int32_t>(i)) << c.name;
    SmallArray8<int32_t> copy(b);
    EXPECT_EQ(copy.Count(), b.Count()) << c.name;
    EXPECT_TRUE(std::equal(copy.Elements().begin(), copy.Elements().end(), b.Elements().begin()))
        << c.name;
  }
  SmallArray4<int32_t> four(&context, 5);
  EXPECT_FALSE(four.IsInline());
}

TEST_F(OwnedArrayTest, RecordVectorGrowsKeepingRecords) {
  struct Record {
    uint32_t a;
    uint64_t b;
  };
  RecordVector<Record> vector(&context, &context, 2);
  EXPECT_EQ(vector.Capacity(), 2u);
  for (uint32_t i = 0; i < 100; ++i) vector.Append({i, uint64_t{i} * 3});
  ASSERT_EQ(vector.Size(), 100u);
  for (uint32_t i = 0; i < 100; ++i) EXPECT_EQ(vector[i].b, uint64_t{i} * 3);
  vector.Reserve(10);  // never shrinks
  EXPECT_GE(vector.Capacity(), 100u);
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { vector.AtChecked(100); }), kMalformed);
}

TEST_F(OwnedArrayTest, SixteenBitArraysAndWordVectorsCheckTheirCounts) {
  struct Case {
    const char* name;
    uint32_t count;
    long code;  // -1: built
  } cases[] = {
      {"empty", 0, -1},
      {"one", 1, -1},
      {"past the memory budget", 0x01000000u, kOutOfMemory},
      {"bytes past 32 bits", 0x80000001u, kOverflow},
      {"largest count", UINT32_MAX, kOverflow},
  };
  context.memory.SetBudget(10 << 20);
  for (const Case& c : cases) {
    EXPECT_EQ(RuntimeCodeOf(&context, [&] { OwnedArray16 a(&context, nullptr, c.count); }),
              c.code)
        << c.name;
    EXPECT_EQ(RuntimeCodeOf(&context, [&] { WordVector v(&context, nullptr, c.count); }), c.code)
        << c.name;
    EXPECT_EQ(RuntimeCodeOf(&context, [&] { RecordVector16 v(&context, nullptr, c.count); }),
              c.code)
        << c.name;
  }
  OwnedArray16 codes(&context, nullptr, 256);
  for (uint32_t i = 0; i < 256; ++i) codes[i] = static_cast<uint16_t>(i);
  codes.ResizeKeep(300);
  EXPECT_EQ(codes.ByteSize(), 600u);
  EXPECT_EQ(codes[255], 255);
}

TEST_F(OwnedArrayTest, ReserveKeepsEveryRecordInOrder) {
  struct Case {
    const char* name;
    uint32_t records, reserve;
    uint32_t capacity;
  } cases[] = {
      {"empty vector grows", 0, 8, 8},
      {"full vector grows", 4, 9, 9},
      {"a smaller reserve keeps the storage", 6, 2, 6},
      {"reserve of the same size", 6, 6, 6},
  };
  for (const Case& c : cases) {
    RecordVector16 records(&context, &context, c.records);
    WordVector words(&context, &context, c.records);
    for (uint32_t i = 0; i < c.records; ++i) {
      records.Append(Record16{{i, ~i, i * 7, 0xffffffffu - i}});
      words.Append(i * 3);
    }
    records.Reserve(c.reserve);
    words.Reserve(c.reserve);
    EXPECT_EQ(records.Capacity(), c.capacity) << c.name;
    EXPECT_EQ(words.Capacity(), c.capacity) << c.name;
    ASSERT_EQ(records.Size(), c.records) << c.name;
    ASSERT_EQ(words.Size(), c.records) << c.name;
    for (uint32_t i = 0; i < c.records; ++i) {
      EXPECT_EQ(records[i], (Record16{{i, ~i, i * 7, 0xffffffffu - i}})) << c.name;
      EXPECT_EQ(words[i], i * 3) << c.name;
    }
  }
}

struct UniquePair {
  uint32_t first;
  uint32_t second;
  bool operator==(const UniquePair&) const = default;
};

TEST_F(OwnedArrayTest, RecordVectorAddUniqueKeepsOneOfEachPairInOrder) {
  using Pairs = std::vector<std::pair<uint32_t, uint32_t>>;
  auto contents = [](const RecordVector<UniquePair>& vector) {
    Pairs out;
    for (const UniquePair& p : vector.Records()) out.emplace_back(p.first, p.second);
    return out;
  };
  struct Case {
    const char* name;
    Pairs adds;
    Pairs expected;
  } cases[] = {
      {"a pair already present changes nothing", {{1, 2}, {3, 4}, {1, 2}}, {{1, 2}, {3, 4}}},
      {"equal in the first word only is added", {{1, 2}, {1, 3}}, {{1, 2}, {1, 3}}},
      {"equal in the second word only is added", {{1, 2}, {5, 2}}, {{1, 2}, {5, 2}}},
      {"swapped words are another pair", {{1, 2}, {2, 1}, {2, 1}}, {{1, 2}, {2, 1}}},
  };
  for (const Case& c : cases) {
    RecordVector<UniquePair> vector(&context, &context, 0);
    for (const auto& [a, b] : c.adds) vector.AddUnique({a, b});
    EXPECT_EQ(contents(vector), c.expected) << c.name;
  }

  // Growth from full storage leaves ten spare slots beyond the new pair.
  RecordVector<UniquePair> grown(&context, &context, 2);
  grown.AddUnique({0, 0});
  grown.AddUnique({0, 1});
  grown.AddUnique({0, 2});
  EXPECT_EQ(grown.Capacity(), 13u);

  // Merging adds only what the destination lacks and empties the source.
  RecordVector<UniquePair> source(&context, &context, 0);
  for (const UniquePair& p : {UniquePair{0, 1}, UniquePair{9, 9}, UniquePair{9, 9},
                              UniquePair{0, 3}}) {
    source.Append(p);
  }
  grown.MergeFrom(source);
  EXPECT_EQ(contents(grown), (Pairs{{0, 0}, {0, 1}, {0, 2}, {9, 9}, {0, 3}}));
  EXPECT_EQ(source.Size(), 0u);
  grown.MergeFrom(grown);  // into itself: nothing lost
  EXPECT_EQ(grown.Size(), 5u);

  // A merge whose growth fails raises code 0 and keeps the source whole.
  RecordVector<UniquePair> full(&context, &context, 1);
  full.AddUnique({7, 7});
  source.Append({8, 8});
  platform::GetHeapTestHooks().failAlways = true;
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { full.MergeFrom(source); }), kOutOfMemory);
  platform::GetHeapTestHooks() = {};
  EXPECT_EQ(source.Size(), 1u);
  EXPECT_EQ(contents(full), (Pairs{{7, 7}}));
}

}  // namespace
}  // namespace runtime
