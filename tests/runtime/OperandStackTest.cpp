#include "runtime/OperandStack.h"

#include <gtest/gtest.h>

#include <optional>

#include "runtime/ErrorTrap.h"
#include "tests/support/RaisedCode.h"
#include "runtime/LibraryContext.h"

namespace runtime {
namespace {

using testsupport::RaisedCode;

TEST(OperandStackTest, PushesAndPopsAcrossChunkBoundaries) {
  LibraryContext context;
  OperandStack stack(&context);
  const uint32_t total = OperandStack::kChunkValues * 2 + 5;
  for (uint32_t round = 0; round < 2; ++round) {
    for (uint32_t i = 0; i < total; ++i) stack.PushInteger(static_cast<int32_t>(i));
    ASSERT_EQ(stack.Count(), total);
    // The entry just below a chunk's start comes from the previous chunk.
    for (uint32_t depth = 0; depth < total; ++depth) {
      ASSERT_EQ(stack.Peek(depth).AsInteger(), static_cast<int32_t>(total - 1 - depth));
    }
    for (uint32_t i = total; i > OperandStack::kChunkValues; --i) {
      ASSERT_EQ(stack.PopInteger(), static_cast<int32_t>(i - 1));
    }
    EXPECT_EQ(stack.Top().AsInteger(), static_cast<int32_t>(OperandStack::kChunkValues - 1));
    // Clearing keeps the chunks; the second round reuses them.
    const uint64_t held = context.memory.bytesInUse;
    stack.Clear();
    EXPECT_TRUE(stack.IsEmpty());
    EXPECT_EQ(context.memory.bytesInUse, held);
  }
}

TEST(OperandStackTest, ReferencePushedAtAChunksLastSlotContinuesInANewChunk) {
  LibraryContext context;
  OperandStack stack(&context);
  const ObjectReference first{12, 0};
  const ObjectReference second{13, 2};
  for (uint32_t i = 0; i + 1 < OperandStack::kChunkValues; ++i) stack.PushInteger(0);
  const uint64_t oneChunk = context.memory.bytesInUse;
  stack.PushReference(&first);  // the chunk's last slot
  EXPECT_EQ(context.memory.bytesInUse, oneChunk);
  stack.PushReference(&second);  // a new chunk
  EXPECT_GT(context.memory.bytesInUse, oneChunk);
  EXPECT_EQ(stack.Count(), OperandStack::kChunkValues + 1);
  EXPECT_EQ(stack.Top().AsReference().number, 13u);
  EXPECT_EQ(stack.Peek(1).AsReference().number, 12u);
  EXPECT_TRUE(stack.Peek(1).Is(ObjectTag::kReference));
}

TEST(OperandStackTest, TypedReadersAndEmptyStack) {
  LibraryContext context;
  OperandStack stack(&context);
  EXPECT_EQ(RaisedCode([&] { stack.Top(); }), kMalformed);
  EXPECT_EQ(RaisedCode([&] { stack.Pop(); }), kMalformed);
  EXPECT_EQ(RaisedCode([&] { stack.PopNumber(); }), kMalformed);
  stack.PushBoolean(true);
  EXPECT_EQ(RaisedCode([&] { stack.PopInteger(); }), kMalformed);
  EXPECT_EQ(RaisedCode([&] { stack.TopName(); }), kMalformed);
  EXPECT_EQ(RaisedCode([&] { stack.TopDictionary(); }), kMalformed);
  // A failed typed pop leaves the operand in place.
  EXPECT_EQ(stack.Count(), 1u);
  EXPECT_TRUE(stack.Top().AsBoolean());
  ValueList list;
  stack.PushArrayOrDictionary(&list, true);
  EXPECT_EQ(stack.TopDictionary().tag, ObjectTag::kDictionary);
  stack.PushArrayOrDictionary(&list, false);
  EXPECT_EQ(&stack.TopArray().AsArray(), &list);
}

TEST(OperandStackTest, PopMatrixTakesSixNumbersFLast) {
  LibraryContext context;
  OperandStack stack(&context);
  stack.PushInteger(99);
  for (int32_t value : {1, 0, 0, 1, 10}) stack.PushInteger(value);
  stack.PushReal(0x148000);  // 20.5
  const Matrix m = stack.PopMatrix();
  EXPECT_EQ(m.a, 0x10000);
  EXPECT_EQ(m.b, 0);
  EXPECT_EQ(m.c, 0);
  EXPECT_EQ(m.d, 0x10000);
  EXPECT_EQ(m.e, 0xA0000);
  EXPECT_EQ(m.f, 0x148000);
  EXPECT_EQ(stack.PopInteger(), 99);
  // Five operands, or a non-number among six, leave the stack unchanged.
  for (int32_t value : {1, 2, 3, 4, 5}) stack.PushInteger(value);
  EXPECT_EQ(RaisedCode([&] { stack.PopMatrix(); }), kMalformed);
  EXPECT_EQ(stack.Count(), 5u);
  stack.PushBoolean(false);
  EXPECT_EQ(RaisedCode([&] { stack.PopMatrix(); }), kMalformed);
  EXPECT_EQ(stack.Count(), 6u);
}

}  // namespace
}  // namespace runtime
