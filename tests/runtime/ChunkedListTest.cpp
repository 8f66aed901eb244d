#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/Heap.h"
#include "runtime/ArenaVector.h"
#include "runtime/ChunkedList.h"
#include "runtime/OperandList.h"
#include "runtime/ThreadState.h"
#include "tests/support/CaughtError.h"

namespace runtime {
namespace {

using testsupport::RuntimeCodeOf;

struct Packed6 {
  uint8_t bytes[6];
};

class ChunkedListTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::GetHeapTestHooks() = {}; }
  LibraryContext context;
  ArenaAllocator arena{&context, 4096, 1024};
};

TEST_F(ChunkedListTest, StackOfTwoPerChunkPopsInReverseAndReusesChunks) {
  for (ArenaAllocator* source : {static_cast<ArenaAllocator*>(nullptr), &arena}) {
    const uint64_t heapBefore = context.memory.bytesInUse;
    {
      ChunkedList<uint32_t> stack(&context, source, 2);
      const uint32_t* firstBegin = stack.FirstChunk()->begin;
      for (uint32_t i = 1; i <= 5; ++i) stack.Push(i);
      EXPECT_EQ(stack.ChunkCount(), 3u);
      EXPECT_EQ(stack.Top(), 5u);
      for (uint32_t expected = 5; expected >= 1; --expected) EXPECT_EQ(stack.Pop(), expected);
      EXPECT_TRUE(stack.IsEmpty());
      EXPECT_EQ(stack.Cursor(), firstBegin);
      EXPECT_EQ(stack.CursorChunk(), stack.FirstChunk());
      EXPECT_EQ(RuntimeCodeOf(&context, [&] { stack.Top(); }), kMalformed);
      EXPECT_EQ(RuntimeCodeOf(&context, [&] { stack.Pop(); }), kMalformed);
      // Going up again uses the chunks already there.
      for (uint32_t i = 1; i <= 6; ++i) stack.Push(i * 10);
      EXPECT_EQ(stack.ChunkCount(), 3u);
      EXPECT_EQ(stack.At(5), 60u);
      EXPECT_EQ(RuntimeCodeOf(&context, [&] { stack.At(6); }), kMalformed);
    }
    if (source == nullptr) {
      EXPECT_EQ(context.memory.bytesInUse, heapBefore);
    }
  }
}

TEST_F(ChunkedListTest, SeekDistanceAndCheckedAdvanceCrossChunks) {
  ChunkedList<Packed6> list(&context, nullptr, 3);
  for (uint8_t i = 0; i < 10; ++i) list.Push(Packed6{{i, 0, 0, 0, 0, i}});
  struct Case {
    const char* name;
    uint32_t from;
    int64_t offset;
    long seekCode;     // -1: fine
    long advanceCode;  // -1: fine
  } cases[] = {
      {"forward across two chunks", 1, 7, -1, -1},
      {"back across chunks", 9, -8, -1, -1},
      {"to a chunk boundary", 0, 3, -1, -1},
      {"onto the end", 2, 8, -1, kMalformed},
      {"past the end", 2, 9, kMalformed, kMalformed},
      {"before the begin", 2, -3, kMalformed, kMalformed},
      {"nowhere", 4, 0, -1, -1},
  };
  for (const Case& c : cases) {
    auto from = list.Seek(list.Begin(), c.from);
    const uint32_t target = static_cast<uint32_t>(c.from + c.offset);
    ChunkedList<Packed6>::Iterator seek;
    EXPECT_EQ(RuntimeCodeOf(&context, [&] { seek = list.Seek(from, c.offset); }), c.seekCode)
        << c.name;
    EXPECT_EQ(RuntimeCodeOf(&context, [&] { list.CheckedAdvance(from, c.offset); }), c.advanceCode)
        << c.name;
    if (c.seekCode != -1) continue;
    EXPECT_EQ(ChunkedList<Packed6>::Distance(from, seek), c.offset) << c.name;
    if (target < list.Count()) {
      EXPECT_EQ(seek.element->bytes[5], target) << c.name;
      EXPECT_EQ(list.Read(seek).bytes[0], target) << c.name;
    } else {
      EXPECT_EQ(RuntimeCodeOf(&context, [&] { list.Read(seek); }), kMalformed) << c.name;
    }
  }
  // Reading through everything in order.
  auto at = list.Begin();
  for (uint8_t i = 0; i < 10; ++i) EXPECT_EQ(list.Read(at).bytes[0], i);
}

TEST_F(ChunkedListTest, DestroyReleasesElementsAndHeapChunksAlsoOnAThrow) {
  static std::vector<uint32_t> released;
  released.clear();
  const uint64_t before = context.memory.bytesInUse;
  EXPECT_EQ(RuntimeCodeOf(&context,
                          [&] {
                            ChunkedList<uint32_t> list(&context, nullptr, 4, [](uint32_t& value) {
                              released.push_back(value);
                            });
                            for (uint32_t i = 0; i < 9; ++i) list.Push(i);
                            ThrowRuntime(kMalformed);
                          }),
            kMalformed);
  EXPECT_EQ(released, (std::vector<uint32_t>{8, 7, 6, 5, 4, 3, 2, 1, 0}));
  EXPECT_EQ(context.memory.bytesInUse, before);

  // A push whose new chunk cannot be had leaves the list as it was.
  ChunkedList<uint32_t> list(&context, nullptr, 2);
  list.Push(1);
  list.Push(2);
  platform::GetHeapTestHooks().failAlways = true;
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { list.Push(3); }), kOutOfMemory);
  platform::GetHeapTestHooks() = {};
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.Top(), 2u);
  list.Push(3);
  EXPECT_EQ(list.Top(), 3u);

  ChunkedList<uint32_t> other(&context, &arena, 8);
  other.Push(42);
  ChunkedList<uint32_t>::Swap(list, other);
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(other.Pop(), 3u);
}

struct GapRecord28 {
  uint32_t words[7];
};

TEST_F(ChunkedListTest, InsertGapMovesTheTailUpInOrder) {
  struct Case {
    const char* name;
    uint32_t perChunk;
    uint32_t count;
    uint32_t position;
    uint32_t n;
  } cases[] = {
      {"at the end appends", 4, 5, 5, 3},
      {"at the begin", 4, 6, 0, 2},
      {"across a chunk boundary", 3, 7, 2, 4},
      {"gap longer than a chunk", 2, 5, 1, 7},
      {"empty list", 3, 0, 0, 5},
      {"nothing to open", 3, 6, 3, 0},
      {"full last chunk", 4, 8, 8, 1},
  };
  for (const Case& c : cases) {
    for (ArenaAllocator* source : {static_cast<ArenaAllocator*>(nullptr), &arena}) {
      ChunkedList<GapRecord28> list(&context, source, c.perChunk);
      std::vector<uint32_t> model;
      for (uint32_t i = 0; i < c.count; ++i) {
        list.Push(GapRecord28{{i, 0, 0, 0, 0, 0, ~i}});
        model.push_back(i);
      }
      list.InsertGap(list.Seek(list.Begin(), c.position), c.n);
      model.insert(model.begin() + c.position, c.n, 1000);
      ASSERT_EQ(list.Count(), model.size()) << c.name;
      for (uint32_t i = 0; i < c.n; ++i) list.At(c.position + i).words[0] = 1000;
      for (uint32_t i = 0; i < model.size(); ++i) {
        EXPECT_EQ(list.At(i).words[0], model[i]) << c.name << " at " << i;
        if (model[i] != 1000) {
          EXPECT_EQ(list.At(i).words[6], ~model[i]) << c.name;
        }
      }
      // Pushing after the gap continues at the new end.
      list.Push(GapRecord28{{77, 0, 0, 0, 0, 0, 0}});
      EXPECT_EQ(list.Top().words[0], 77u) << c.name;
      EXPECT_EQ(list.At(list.Count() - 1).words[0], 77u) << c.name;
    }
  }
}

TEST_F(ChunkedListTest, InsertGapRefusesAPositionPastTheEndAndKeepsTheListOnFailedRoom) {
  ChunkedList<GapRecord28> list(&context, nullptr, 2);
  for (uint32_t i = 0; i < 4; ++i) list.Push(GapRecord28{{i, 0, 0, 0, 0, 0, 0}});
  ChunkedList<GapRecord28>::Iterator past = list.End();
  past.index = 5;
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { list.InsertGap(past, 1); }), kMalformed);
  platform::GetHeapTestHooks().failAlways = true;
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { list.InsertGap(list.Begin(), 3); }), kOutOfMemory);
  platform::GetHeapTestHooks() = {};
  ASSERT_EQ(list.Count(), 4u);
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(list.At(i).words[0], i);
}

TEST_F(ChunkedListTest, OperandListReadsValuesAcrossChunkBoundaries) {
  OperandList operands(&context, &arena, 5);  // small chunks: values straddle them
  operands.PushByte(7);
  operands.PushNumber(-123456789);
  for (int32_t value : {1, 2, 3, 4, 5, 6}) operands.PushNumber(value << 16);
  operands.PushString("Helvetica");
  operands.PushString("");
  operands.PushNumber(0x7FFFFFFF);

  auto at = operands.Begin();
  EXPECT_EQ(operands.PopByte(at), 7);
  EXPECT_EQ(operands.PopInt(at), -123456789);
  auto again = at;
  int32_t numbers[6];
  operands.PopNumbers(at, numbers);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(numbers[i], (i + 1) << 16);
  const Matrix matrix = operands.PopMatrix(again);
  EXPECT_EQ(matrix.a, 1 << 16);
  EXPECT_EQ(matrix.f, 6 << 16);
  EXPECT_EQ(ChunkedBytes::Distance(again, at), 0);
  uint32_t length = 0;
  const uint8_t* bump = arena.bump;
  const char* name = operands.PopString(at, arena, &length);
  EXPECT_STREQ(name, "Helvetica");
  EXPECT_EQ(length, 9u);
  EXPECT_EQ(arena.bump - bump, 16);  // 10 bytes rounded up to 8
  EXPECT_STREQ(operands.PopString(at, arena), "");
  EXPECT_EQ(operands.PopNumber(at), 0x7FFFFFFF);
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { operands.PopByte(at); }), kMalformed);
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { operands.PushString(std::string(256, 'x')); }),
            kOverflow);

  // A number whose chunk cannot be had is not written at all.
  OperandList heapOperands(&context, nullptr, 3);
  heapOperands.PushByte(1);
  heapOperands.PushByte(2);
  platform::GetHeapTestHooks().failAlways = true;
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { heapOperands.PushNumber(0x01020304); }), kOutOfMemory);
  platform::GetHeapTestHooks() = {};
  EXPECT_EQ(heapOperands.ByteCount(), 2u);
  heapOperands.PushNumber(0x01020304);
  auto reader = heapOperands.Begin();
  heapOperands.PopByte(reader);
  heapOperands.PopByte(reader);
  const Rect rect = [&] {
    heapOperands.PushNumber(5);
    heapOperands.PushNumber(6);
    heapOperands.PushNumber(7);
    return heapOperands.PopRect(reader);
  }();
  EXPECT_EQ(rect.x0, 0x01020304);
  EXPECT_EQ(rect.y1, 7);

  // A count byte that promises more than was written.
  OperandList truncated(&context, nullptr, 16);
  truncated.PushByte(200);
  truncated.PushByte('a');
  auto cursor = truncated.Begin();
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { truncated.PopString(cursor, arena); }), kMalformed);
  auto number = truncated.Begin();
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { truncated.PopNumber(number); }), kMalformed);
}

TEST_F(ChunkedListTest, ArenaVectorTakesRoundedStorageGrowsAndErases) {
  arena.Alloc(8);
  const uint8_t* bump = arena.bump;
  ArenaVector<uint32_t> vector(arena, 3);
  EXPECT_EQ(arena.bump - bump, 16);  // 12 bytes rounded up to 8
  for (uint32_t i = 0; i < 50; ++i) vector.PushBack(i);
  ASSERT_EQ(vector.Size(), 50u);
  vector.EraseRange(10, 45);
  ASSERT_EQ(vector.Size(), 15u);
  EXPECT_EQ(vector[9], 9u);
  EXPECT_EQ(vector[10], 45u);
  EXPECT_EQ(vector[14], 49u);
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { vector.EraseRange(5, 16); }), kMalformed);
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { vector.AtChecked(15); }), kMalformed);

  ArenaVector<uint64_t> source(arena, 0);
  for (uint64_t i = 0; i < 7; ++i) source.PushBack(i << 40);
  ArenaVector<uint64_t> copy(source);
  EXPECT_EQ(copy.Size(), 7u);
  EXPECT_EQ(copy.Capacity(), 7u);
  EXPECT_NE(copy.begin(), source.begin());
  EXPECT_EQ(copy[6], uint64_t{6} << 40);
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { ArenaVector<uint64_t> huge(arena, 0x20000000); }),
            kOverflow);
}


TEST_F(ChunkedListTest, PopReleaseReleasesTheTopAcrossChunks) {
  static int released;
  released = 0;
  ChunkedList<uint32_t> list(&context, &arena, 2, [](uint32_t& value) { released += value; });
  for (uint32_t i = 1; i <= 3; ++i) list.Push(i);
  list.PopRelease();  // 3 sits at the start of the second chunk
  EXPECT_EQ(released, 3);
  EXPECT_EQ(list.Top(), 2u);
  list.PopRelease();
  list.PopRelease();
  EXPECT_EQ(released, 6);
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { list.PopRelease(); }), kMalformed);
}

TEST_F(ChunkedListTest, SeekForwardByTheRestOfAChunkLandsOnTheNextChunk) {
  ChunkedList<uint32_t> list(&context, &arena, 4);
  for (uint32_t i = 0; i < 10; ++i) list.Push(i);
  auto at = list.Seek(list.Begin(), 1);
  at = list.Seek(at, 3);  // three left in the first chunk
  EXPECT_EQ(at.chunk, list.FirstChunk()->next);
  EXPECT_EQ(*at.element, 4u);
  at = list.Seek(at, -4);
  EXPECT_EQ(at.chunk, list.FirstChunk());
  EXPECT_EQ(*at.element, 0u);
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { list.Seek(at, -1); }), kMalformed);
}

}  // namespace
}  // namespace runtime
