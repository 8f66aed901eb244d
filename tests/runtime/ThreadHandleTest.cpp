#include "runtime/ThreadHandle.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/Event.h"
#include "tests/runtime/ThreadFixture.h"

namespace runtime {
namespace {

using ThreadHandleTest = ThreadFixture;

TEST_F(ThreadHandleTest, DestroyingOrReplacingALiveThreadUnwindsItFirst) {
  Event never(&context);
  std::string cleanups;
  auto waiting = [&](char mark) {
    return NewObject<ClosureThread>(&context, &context, [&cleanups, &never, mark](LibraryContext*) {
      LoggedCleanup held(&cleanups, mark);
      never.Wait();
    });
  };
  {
    ThreadHandle handle(&context, waiting('a'));
    scheduler.StartThread(handle.Get());
    scheduler.RunUntil([] { return false; });

    ThreadHandle other(&context, waiting('b'));
    scheduler.StartThread(other.Get());
    scheduler.RunUntil([] { return false; });
    EXPECT_EQ(cleanups, "");

    handle.MoveAssign(other);  // the old thread goes, unwound
    EXPECT_EQ(cleanups, "a");
    EXPECT_EQ(other.Get(), nullptr);
    EXPECT_TRUE(handle.Get()->live);
  }
  EXPECT_EQ(cleanups, "ab");
  EXPECT_EQ(scheduler.stackPool.FreeSlots(), kStackSlots);
  EXPECT_EQ(never.waiters, nullptr);
}

TEST_F(ThreadHandleTest, AnErrorPassingAHandleOnAThreadStackDestroysItsThread) {
  Event never(&context);
  std::string cleanups;
  ErrorRecord seen{};
  Start([&](LibraryContext* ctx) {
    seen = Caught([&] {
      ThreadHandle child(ctx, NewObject<ClosureThread>(ctx, ctx, [&](LibraryContext*) {
        LoggedCleanup held(&cleanups, 'c');
        never.Wait();
      }));
      scheduler.StartThread(child.Get());
      YieldThread(ctx);  // the child runs and blocks
      ThrowRuntime(kMalformed);
    });
  });
  scheduler.RunUntil([] { return false; });
  EXPECT_TRUE(seen.IsRuntime(kMalformed));
  EXPECT_EQ(cleanups, "c");
  // The fixture's thread plus nothing else holds a stack.
  EXPECT_EQ(scheduler.stackPool.FreeSlots(), kStackSlots - 1);
}

TEST_F(ThreadHandleTest, TheScratchArenaGoesWithItsThread) {
  const uint64_t before = context.memory.bytesInUse;
  {
    ThreadHandle handle(&context, NewObject<ClosureThread>(&context, &context, [](LibraryContext*) {
      auto* self = static_cast<CoThread*>(GetDefaultContext()->scheduler->current);
      for (int i = 0; i < 10; ++i) self->scratch.Alloc(3000);
    }));
    scheduler.StartThread(handle.Get());
    scheduler.RunUntil([] { return false; });
    EXPECT_GT(context.memory.bytesInUse, before);
  }
  EXPECT_EQ(context.memory.bytesInUse, before);
}

}  // namespace
}  // namespace runtime
