#include "runtime/FixedBlockPool.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "tests/runtime/ThreadFixture.h"

namespace runtime {
namespace {

using FixedBlockPoolTest = ThreadFixture;

TEST_F(FixedBlockPoolTest, SixteenStacksThenFullAndOversizedRequestsFail) {
  for (uint32_t i = 0; i < kStackSlots; ++i) Make([](LibraryContext*) {});
  EXPECT_EQ(scheduler.stackPool.FreeSlots(), 0u);

  struct Case {
    const char* name;
    uint32_t stackBytes;
    uint32_t expectedCode;
  };
  const Case cases[] = {
      {"seventeenth stack", kJobStackBytes, kOutOfMemory},
      {"one byte over a slot", kStackSlotBytes + 1, kBeyondLimit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ErrorRecord seen = Caught(
        [&] { NewObject<ClosureThread>(&context, &context, [](LibraryContext*) {}, c.stackBytes); });
    EXPECT_TRUE(seen.IsRuntime(c.expectedCode)) << seen.code;
  }

  // A thread's stack goes back to the pool with it.
  handles.pop_back();
  EXPECT_EQ(scheduler.stackPool.FreeSlots(), 1u);
  Make([](LibraryContext*) {});
  EXPECT_EQ(scheduler.stackPool.FreeSlots(), 0u);
}

TEST_F(FixedBlockPoolTest, StacksAreSeparateAndLargerThanTheirLogicalSize) {
  ClosureThread* first = Make([](LibraryContext*) {});
  ClosureThread* second = Make([](LibraryContext*) {});
  EXPECT_GE(first->stackSize, platform::kFiberStackBytes);
  const uintptr_t firstLow = first->stackLimit;
  const uintptr_t secondLow = second->stackLimit;
  EXPECT_TRUE(firstLow + first->stackSize <= secondLow || secondLow + second->stackSize <= firstLow);
  // A request with no stack takes no slot; without a scheduler no stack can
  // be had at all.
  ClosureThread* stackless = NewObject<ClosureThread>(&context, &context, [](LibraryContext*) {}, 0);
  EXPECT_EQ(stackless->stackSlot, nullptr);
  EXPECT_EQ(scheduler.stackPool.FreeSlots(), kStackSlots - 2);
  EXPECT_TRUE(Caught([&] { scheduler.StartThread(stackless); }).IsRuntime(kMalformed));
  DestroyAndFree(&context, static_cast<CoThread*>(stackless));

  LibraryContext bare;
  EXPECT_TRUE(Caught([&] {
                NewObject<ClosureThread>(&bare, &bare, [](LibraryContext*) {}, kJobStackBytes);
              }).IsRuntime(kBeyondLimit));
  SetDefaultContext(&context);
}

constexpr int kFaulted = 77;

TEST_F(FixedBlockPoolTest, AnOverflowPastTheCheckHitsTheGuardPage) {
  // Without CheckStackSpace, a runaway recursion must fault on the guard
  // page rather than write into a neighbouring stack.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Report the fault with a distinct status, from a stack of its own.
    static char altStack[64 * 1024];
    stack_t alternate{};
    alternate.ss_sp = altStack;
    alternate.ss_size = sizeof(altStack);
    sigaltstack(&alternate, nullptr);
    struct sigaction action{};
    action.sa_handler = [](int) { _exit(kFaulted); };
    action.sa_flags = SA_ONSTACK;
    sigaction(SIGSEGV, &action, nullptr);
    sigaction(SIGBUS, &action, nullptr);
    Start([](LibraryContext*) {
      struct Runaway {
        static int Down(int depth) {
          volatile char frame[1024];
          frame[0] = static_cast<char>(depth);
          if (depth > 100000000) return 0;
          return Down(depth + 1) + frame[0];
        }
      };
      Runaway::Down(0);
    });
    scheduler.RunUntil([] { return false; });
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kFaulted);
}

}  // namespace
}  // namespace runtime
