#include "runtime/RecordCache.h"

#include <gtest/gtest.h>

#include "runtime/JobThread.h"
#include "runtime/TransientBlocks.h"
#include "tests/runtime/ThreadFixture.h"
#include "tests/support/RaisedCode.h"

namespace runtime {
namespace {

RecordRequest Request(int32_t first, uint32_t value) {
  return RecordRequest{{{first, 2, 3, 4, 5, 6}}, value};
}

TEST(RecordCacheTest, ALookupMakesOneRecordPerKeyAndCountsItsHolders) {
  LibraryContext context;
  RecordCache cache(&context);
  RecordCache::Ref first = cache.Lookup(Request(1, 77));
  ASSERT_TRUE(first);
  // The cache's own count and the handle's.
  EXPECT_EQ(first->refCount, 2u);
  EXPECT_EQ(first->value, 77u);
  EXPECT_EQ(first->key.words[5], 6);
  {
    // The same key, another value: the record made first is answered.
    RecordCache::Ref again = cache.Lookup(Request(1, 99));
    EXPECT_EQ(again.Get(), first.Get());
    EXPECT_EQ(first->refCount, 3u);
    EXPECT_EQ(again->value, 77u);
  }
  EXPECT_EQ(first->refCount, 2u);
  RecordCache::Ref other = cache.Lookup(Request(2, 5));
  EXPECT_NE(other.Get(), first.Get());
  EXPECT_EQ(cache.Count(), 2u);
  // Only the cache holds it once the handles go: then it can be purged.
  first = RecordCache::Ref();
  other = RecordCache::Ref();
  context.cacheManager.PurgeTo(0, true);
  EXPECT_EQ(cache.Count(), 0u);
}

TEST(RecordCacheTest, NoMemoryRaisesAndLeavesNoEntry) {
  LibraryContext context;
  RecordCache cache(&context);
  RecordItem* made = RecordCache::MakeItem(Request(1, 1), &context);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->refCount, 0u);
  EXPECT_EQ(made->value, 1u);
  DestroyAndFree(&context, made);
  context.memory.hardLimit = context.memory.bytesInUse;
  context.memory.largestCountedBlock = kNoLimit;
  context.caches = nullptr;
  EXPECT_EQ(testsupport::RaisedCode([&] { cache.Lookup(Request(9, 1)); }), kOutOfMemory);
  EXPECT_EQ(cache.Count(), 0u);
}

class JobThreadTest : public ThreadFixture {};

TEST_F(JobThreadTest, RunsItsJobOnAStackOfItsOwn) {
  struct CountingJob : Job {
    void Run(LibraryContext* context) override {
      onMain = context->scheduler->OnMainThread();
      ++runs;
    }
    bool onMain = true;
    int runs = 0;
  } job;
  auto* thread = NewObject<JobThread>(&context, &context, &job, kJobStackBytes);
  ThreadHandle handle(&context, thread);
  scheduler.StartThread(thread);
  scheduler.RunUntil([&] { return job.runs > 0; });
  EXPECT_EQ(job.runs, 1);
  EXPECT_FALSE(job.onMain);
  // A stack above a pool slot is refused.
  EXPECT_EQ(testsupport::RaisedCode([&] {
              JobThread big(&context, &job, kJobStackBytes + 1);
            }),
            6u);
}

}  // namespace
}  // namespace runtime
