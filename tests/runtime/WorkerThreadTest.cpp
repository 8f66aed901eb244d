#include "runtime/WorkerThread.h"

#include <gtest/gtest.h>

#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"
#include "runtime/ThreadHandle.h"

namespace runtime {
namespace {

TEST(WorkerThreadTest, StartsAloneInTheCallersRingWithoutAStack) {
  LibraryContext context;
  Scheduler scheduler(&context);
  const uint32_t freeSlots = scheduler.stackPool.FreeSlots();
  ThreadState* ring = nullptr;
  WorkerThread* worker = WorkerThread::Start(&context, &ring);
  ASSERT_NE(worker, nullptr);
  ThreadHandle holder(&context, worker);
  EXPECT_EQ(ring, worker);
  EXPECT_EQ(worker->next, worker);
  EXPECT_EQ(worker->prev, worker);
  EXPECT_EQ(worker->ringHead, &ring);
  EXPECT_EQ(worker->stackSlot, nullptr);
  EXPECT_EQ(worker->requestedStackSize, 0u);
  EXPECT_EQ(scheduler.stackPool.FreeSlots(), freeSlots);
  // Its scratch arena works like any thread's.
  EXPECT_NE(worker->scratch.Alloc(100), nullptr);
  holder.Destroy();
  EXPECT_EQ(ring, nullptr);
}

TEST(WorkerThreadTest, NoMemoryIsAnAnswerNotAnError) {
  LibraryContext context;
  context.memory.hardLimit = context.memory.bytesInUse;
  ThreadState* ring = nullptr;
  EXPECT_EQ(WorkerThread::Start(&context, &ring), nullptr);
  EXPECT_EQ(ring, nullptr);
  EXPECT_EQ(context.memory.bytesInUse, 0u);
}

}  // namespace
}  // namespace runtime
