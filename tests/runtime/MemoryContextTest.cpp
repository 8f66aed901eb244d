#include "runtime/MemoryContext.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/Heap.h"
#include "runtime/CachePurger.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Jbig2Heap.h"
#include "runtime/LibraryContext.h"
#include "tests/support/FakeHostServices.h"

namespace runtime {
namespace {

struct RecordingPurger : CachePurger {
  std::vector<uint64_t> requests;
  std::vector<bool> reorders;
  uint64_t entries = 0;
  MemoryContext* nested = nullptr;
  bool nestedResult = true;

  uint64_t EntryCount() const override { return entries; }
  void FreeBytes(uint64_t bytes, bool reorder) override {
    requests.push_back(bytes);
    reorders.push_back(reorder);
    if (nested != nullptr) nestedResult = nested->PurgeCaches(1, false);
  }
};

class MemoryContextTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::GetHeapTestHooks() = {}; }
  LibraryContext context;
  RecordingPurger purger;
};

TEST_F(MemoryContextTest, LimitsFromTheHostBudget) {
  struct Case {
    uint32_t budget;
    uint64_t soft, hard, largest, minimum;
  } cases[] = {
      {0xA00000, 9437184, 10485760, kNoLimit, 2097152},
      {0, 9000000, kNoLimit, 500000, 2000000},
      {0xFFFFFFFF, 9000000, kNoLimit, 500000, 2000000},
  };
  testsupport::FakeHostServices host;
  for (const Case& c : cases) {
    host.memoryBudget = c.budget;
    MemoryContext memory;
    memory.SetBudget(host.GetMemoryBudget());
    EXPECT_EQ(memory.softLimit, c.soft) << c.budget;
    EXPECT_EQ(memory.hardLimit, c.hard) << c.budget;
    EXPECT_EQ(memory.largestCountedBlock, c.largest) << c.budget;
    EXPECT_EQ(memory.minimumPurge, c.minimum) << c.budget;
  }
  MemoryContext fresh;
  EXPECT_EQ(fresh.softLimit, 5000000u);
  EXPECT_EQ(fresh.hardLimit, kNoLimit);
  EXPECT_EQ(fresh.largestCountedBlock, 500000u);
  EXPECT_EQ(fresh.minimumPurge, 1000000u);
}

TEST_F(MemoryContextTest, AccountsHeapSizesAndBalances) {
  MemoryContext& memory = context.memory;
  void* a = memory.Allocate(100);
  void* b = memory.Allocate(1000);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  uint64_t inUse = memory.bytesInUse;
  EXPECT_GE(inUse, 1100u);
  void* c = memory.Reallocate(a, 5000);
  ASSERT_NE(c, nullptr);
  EXPECT_GT(memory.bytesInUse, inUse);
  memory.Free(b);
  memory.Free(c);
  memory.Free(nullptr);
  EXPECT_EQ(memory.bytesInUse, 0u);
  EXPECT_GE(memory.peakBytes, 6000u);
  EXPECT_EQ(memory.Allocate(0), nullptr);
}

TEST_F(MemoryContextTest, OverHardLimitFailsWithoutHeapCall) {
  MemoryContext& memory = context.memory;
  memory.SetBudget(0xA00000);
  uint64_t callsBefore = platform::GetHeapTestHooks().requestCount;
  EXPECT_EQ(memory.Allocate(0xA00001), nullptr);
  EXPECT_EQ(platform::GetHeapTestHooks().requestCount, callsBefore);
  // Near the top the sum must not wrap around.
  EXPECT_EQ(memory.Allocate(SIZE_MAX - 4), nullptr);
}

TEST_F(MemoryContextTest, LargeBlocksAreUncountedAndStayUncountedAfterLimitChange) {
  MemoryContext& memory = context.memory;
  void* big = memory.Allocate(600000);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(memory.bytesInUse, 0u);
  memory.SetBudget(0xA00000);  // every block counted from now on
  memory.Free(big);
  EXPECT_EQ(memory.bytesInUse, 0u);
}

TEST_F(MemoryContextTest, FailingHeapPurgesWithDoublingAmounts) {
  MemoryContext& memory = context.memory;
  memory.minimumPurge = 0;
  context.caches = &purger;
  platform::GetHeapTestHooks().failAlways = true;
  uint64_t callsBefore = platform::GetHeapTestHooks().requestCount;
  EXPECT_EQ(memory.Allocate(1000), nullptr);
  std::vector<uint64_t> expected = {2000, 4000, 8000, 16000, 32000, 64000, 128000, 256000};
  EXPECT_EQ(purger.requests, expected);
  // The first retry reorders (the soft-limit test ran no purge); the rest not.
  ASSERT_EQ(purger.reorders.size(), 8u);
  EXPECT_TRUE(purger.reorders[0]);
  EXPECT_FALSE(purger.reorders[1]);
  EXPECT_EQ(platform::GetHeapTestHooks().requestCount - callsBefore, 9u);

  // Doubling stops once it leaves 32 bits (the first purge is the
  // soft-limit one, for the request itself).
  purger.requests.clear();
  memory.largestCountedBlock = kNoLimit;
  EXPECT_EQ(memory.Allocate(0x40000000), nullptr);
  EXPECT_EQ(purger.requests, (std::vector<uint64_t>{0x40000000, 0x80000000}));
  context.caches = nullptr;
}

TEST_F(MemoryContextTest, HeapFailureRecoversAfterPurge) {
  context.caches = &purger;
  platform::GetHeapTestHooks().failNext = 1;
  void* block = context.memory.Allocate(64);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(purger.requests.size(), 1u);
  context.memory.Free(block);
  context.caches = nullptr;
}

TEST_F(MemoryContextTest, CrossingSoftLimitPurgesFirst) {
  MemoryContext& memory = context.memory;
  context.caches = &purger;
  purger.entries = 10;
  memory.softLimit = 1000;
  memory.minimumPurge = 500;
  void* block = memory.Allocate(2000);
  ASSERT_NE(block, nullptr);
  ASSERT_EQ(purger.requests.size(), 1u);
  EXPECT_EQ(purger.requests[0], 2080u);  // request plus 8 bytes per entry
  memory.Free(block);
  context.caches = nullptr;
}

TEST_F(MemoryContextTest, PurgeDuringPurgeDoesNothing) {
  context.caches = &purger;
  purger.nested = &context.memory;
  EXPECT_TRUE(context.memory.PurgeCaches(10, false));
  EXPECT_FALSE(purger.nestedResult);
  EXPECT_EQ(purger.requests.size(), 1u);
  EXPECT_EQ(context.memory.purgeBusy, 0);
  context.caches = nullptr;
}

TEST_F(MemoryContextTest, AllocOrThrowRaisesOutOfMemory) {
  context.memory.SetBudget(0xA00000);
  ErrorTrap trap(&context);
  ASSERT_FALSE(trap.Run([&] { AllocOrThrow(&context, 0xB00000); }));
  trap.SetHandled();
  EXPECT_TRUE(trap.Held().IsRuntime(kOutOfMemory));
  trap.Close();
}

TEST_F(MemoryContextTest, Jbig2HeapFreesLeftoversAndKeepsDetachedBlock) {
  void* kept = nullptr;
  {
    Jbig2Heap scope(&context);
    Jbig2Heap::Alloc(100);
    void* grown = Jbig2Heap::Realloc(Jbig2Heap::Alloc(10), 4000);
    ASSERT_NE(grown, nullptr);
    Jbig2Heap::Free(Jbig2Heap::Calloc(4, 4));
    EXPECT_EQ(Jbig2Heap::Calloc(SIZE_MAX / 2, 4), nullptr);
    kept = Jbig2Heap::Detach(Jbig2Heap::Alloc(50));
  }
  EXPECT_EQ(Jbig2Heap::Current(), nullptr);
  EXPECT_GT(context.memory.bytesInUse, 0u);
  Jbig2Heap::FreeDetached(&context, kept);
  EXPECT_EQ(context.memory.bytesInUse, 0u);
}

}  // namespace
}  // namespace runtime
