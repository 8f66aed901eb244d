#include "runtime/Semaphore.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/runtime/ThreadFixture.h"

namespace runtime {
namespace {

using SemaphoreTest = ThreadFixture;

TEST_F(SemaphoreTest, SecondHolderWaitsUntilTheFirstReleases) {
  Semaphore semaphore(&context, 1);
  std::string log;
  Start([&](LibraryContext* ctx) {
    SemaphoreLock lock(ctx, &semaphore);
    log += "A+";
    YieldThread(ctx);
    YieldThread(ctx);
    log += "A-";
  });
  Start([&](LibraryContext* ctx) {
    SemaphoreLock lock(ctx, &semaphore);
    log += "B+";
  });
  scheduler.RunUntil([] { return false; });
  EXPECT_EQ(log, "A+A-B+");
  EXPECT_EQ(semaphore.count, 1);
}

TEST_F(SemaphoreTest, ErrorsAndKillsGiveTheUnitBack) {
  Semaphore semaphore(&context, 1);
  // A holder unwound by an error releases its unit.
  ErrorRecord seen{};
  Start([&](LibraryContext* ctx) {
    seen = Caught([&] {
      SemaphoreLock lock(ctx, &semaphore);
      EXPECT_EQ(semaphore.count, 0);
      ThrowRuntime(kMalformed);
    });
  });
  scheduler.RunUntil([] { return false; });
  EXPECT_TRUE(seen.IsRuntime(kMalformed));
  EXPECT_EQ(semaphore.count, 1);

  // A thread killed while it waits gives its claim back.
  semaphore.Acquire();  // the main thread holds the only unit
  ClosureThread* waiter = Start([&](LibraryContext* ctx) { SemaphoreLock lock(ctx, &semaphore); });
  scheduler.RunUntil([] { return false; });
  EXPECT_EQ(semaphore.count, -1);
  scheduler.Kill(waiter);
  EXPECT_EQ(semaphore.count, 0);
  EXPECT_EQ(semaphore.waiters, nullptr);
  semaphore.Release();
  EXPECT_EQ(semaphore.count, 1);

  // The main thread cannot wait for a unit; its claim is undone.
  semaphore.Acquire();
  EXPECT_TRUE(Caught([&] { semaphore.Acquire(); }).IsRuntime(kMalformed));
  EXPECT_EQ(semaphore.count, 0);
}

}  // namespace
}  // namespace runtime
