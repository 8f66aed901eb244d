#include "runtime/ArenaPtr.h"

#include <gtest/gtest.h>

#include "runtime/ErrorTrap.h"
#include "tests/support/CaughtError.h"

namespace runtime {
namespace {

TEST(ArenaPtrTest, MovingDestroysTheOldArenaAndEmptiesTheSource) {
  LibraryContext context;
  {
    ArenaPtr a(&context, NewObject<ArenaAllocator>(&context, &context, 1024u, 256u));
    ArenaPtr b(&context, NewObject<ArenaAllocator>(&context, &context, 1024u, 256u));
    a->Alloc(100);
    b->Alloc(100);
    ArenaAllocator* kept = b.Get();
    const uint64_t both = context.memory.bytesInUse;
    a.MoveAssign(b);
    EXPECT_EQ(a.Get(), kept);
    EXPECT_EQ(b.Get(), nullptr);
    EXPECT_LT(context.memory.bytesInUse, both);  // a's old arena is gone
    const uint64_t one = context.memory.bytesInUse;
    a.MoveAssign(a);  // itself: nothing changes
    ArenaPtr same(&context, kept);
    a.MoveAssign(same);  // the same arena: kept, not destroyed
    EXPECT_EQ(a.Get(), kept);
    EXPECT_EQ(context.memory.bytesInUse, one);
    EXPECT_NE(a->Alloc(16), nullptr);
  }
  EXPECT_EQ(context.memory.bytesInUse, 0u);

  // A throw past a pointer frees its arena.
  auto throwPastArena = [&] {
    ArenaPtr held(&context, NewObject<ArenaAllocator>(&context, &context, 1024u, 256u));
    held->Alloc(500);
    ThrowRuntime(kMalformed);
  };
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, throwPastArena), kMalformed);
  EXPECT_EQ(context.memory.bytesInUse, 0u);
}

}  // namespace
}  // namespace runtime
