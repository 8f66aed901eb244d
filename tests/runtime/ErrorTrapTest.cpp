#include "runtime/ErrorTrap.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"

namespace runtime {
namespace {

// A stack object that logs its cleanup and unlinks itself, as every
// registered object does.
struct LoggedNode {
  CleanupNode node;
  std::vector<std::string>* log;
  std::string name;

  LoggedNode(std::vector<std::string>* target, std::string label)
      : log(target), name(std::move(label)) {
    node.Register(nullptr, &LoggedNode::Cleanup);
  }
  ~LoggedNode() { node.Unlink(); }

  static void Cleanup(CleanupNode* raw) {
    auto* self = reinterpret_cast<LoggedNode*>(raw);
    self->log->push_back(self->name);
    raw->Unlink();
  }
};

TEST(ErrorTrapTest, NestedTrapsRunInnerCleanupsNewestFirst) {
  std::vector<std::string> log;
  ErrorRecord outerSaw{};
  bool innerCaught = false;
  ErrorTrap outer;
  bool finished = outer.Run([&] {
    LoggedNode first(&log, "outer-node");
    ErrorTrap inner;
    bool innerFinished = inner.Run([&] {
      LoggedNode second(&log, "inner-1");
      LoggedNode third(&log, "inner-2");
      ThrowRuntime(kMalformed);
    });
    EXPECT_FALSE(innerFinished);
    innerCaught = true;
    // Not taken: closing passes it to the enclosing trap unchanged.
    inner.Close();
    ADD_FAILURE() << "Close of an unhandled error must not return";
  });
  EXPECT_FALSE(finished);
  EXPECT_TRUE(innerCaught);
  ASSERT_TRUE(outer.HoldsRecord());
  outer.SetHandled();
  outerSaw = outer.Held();
  outer.Close();
  EXPECT_TRUE(outerSaw.Is(kRuntimeDomain, kMalformed));
  EXPECT_EQ(outerSaw.flag, 0);
  // Inner nodes in reverse order, then the outer node on the way out.
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], "inner-2");
  EXPECT_EQ(log[1], "inner-1");
  EXPECT_EQ(log[2], "outer-node");
  EXPECT_EQ(CurrentThreadState().cleanupHead, nullptr);
  EXPECT_EQ(CurrentThreadState().currentTrap, nullptr);
}

TEST(ErrorTrapTest, InnerThrowLeavesOuterNodeAloneWhenHandledInside) {
  std::vector<std::string> log;
  ErrorTrap outer;
  ASSERT_TRUE(outer.Run([&] {
    LoggedNode keep(&log, "outer-node");
    ErrorTrap inner;
    if (!inner.Run([&] {
          LoggedNode a(&log, "a");
          LoggedNode b(&log, "b");
          LoggedNode c(&log, "c");
          ThrowRuntime(kMalformed);
        })) {
      inner.SetHandled();
      EXPECT_TRUE(inner.Held().IsRuntime(kMalformed));
      inner.Close();
    }
    EXPECT_EQ(log, (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_TRUE(keep.node.IsLinked());
  }));
}

TEST(ErrorTrapTest, RethrowReachesNextTrapWithSameRecord) {
  ErrorTrap outer;
  ASSERT_FALSE(outer.Run([&] {
    ErrorTrap inner;
    if (!inner.Run([] { ThrowError(nullptr, ErrorRecord{kViewerDomain, 2, 1}); })) {
      inner.SetHandled();
      inner.Rethrow();
    }
  }));
  outer.SetHandled();
  EXPECT_TRUE(outer.Held().Is(kViewerDomain, 2));
  EXPECT_EQ(outer.Held().flag, 1);
  outer.Close();
}

TEST(ErrorTrapTest, ThrowFromHandlerReplacesErrorAndGoesOutward) {
  ErrorTrap outer;
  ASSERT_FALSE(outer.Run([&] {
    ErrorTrap inner;
    if (!inner.Run([] { ThrowRuntime(kMalformed); })) {
      inner.SetHandled();
      ThrowRuntime(kUnsupported);
    }
  }));
  outer.SetHandled();
  EXPECT_TRUE(outer.Held().IsRuntime(kUnsupported));
  outer.Close();
  EXPECT_EQ(CurrentThreadState().currentTrap, nullptr);
}

TEST(ErrorTrapTest, CatchAllExceptCancelPassesCancellationOn) {
  EXPECT_FALSE(CatchAllExceptCancel(nullptr, [] { ThrowRuntime(kMalformed); }));
  ErrorTrap outer;
  ASSERT_FALSE(outer.Run([] {
    CatchAllExceptCancel(nullptr, [] { ThrowRuntime(kCancelled, 1); });
  }));
  outer.SetHandled();
  EXPECT_TRUE(outer.Held().IsRuntime(kCancelled));
  EXPECT_EQ(outer.Held().flag, 1);
  outer.Close();
}

TEST(ErrorTrapTest, CancelOrNoDataClassification) {
  struct Case {
    ErrorRecord record;
    bool expected;
  } cases[] = {
      {{kRuntimeDomain, 3, 1}, true},
      {{kDataIoDomain, 0, 0}, true},
      {{kDataIoDomain, 1, 0}, false},
      {{kViewerDomain, 3, 0}, false},
      {{kRuntimeDomain, 2, 0}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsCancelOrNoDataError(c.record), c.expected) << c.record.domain << " " << c.record.code;
  }
}

TEST(ErrorTrapTest, NodeUnlinkTwiceAndReRegisterAreHarmless) {
  CleanupNode a;
  CleanupNode b;
  a.Register(nullptr, [](CleanupNode* n) { n->Unlink(); });
  b.Register(nullptr, [](CleanupNode* n) { n->Unlink(); });
  // Registering a linked node only replaces its function.
  b.Register(nullptr, [](CleanupNode* n) { n->Unlink(); });
  EXPECT_EQ(CurrentThreadState().cleanupHead, &b);
  a.Unlink();  // from the middle
  a.Unlink();
  EXPECT_EQ(CurrentThreadState().cleanupHead, &b);
  EXPECT_EQ(b.next, nullptr);
  b.Unlink();
  EXPECT_EQ(CurrentThreadState().cleanupHead, nullptr);
}

struct Member {
  CleanupNode node;
  int* destroyed;
  explicit Member(int* counter) : destroyed(counter) {
    node.Register(nullptr, [](CleanupNode* n) { n->Unlink(); });
  }
  ~Member() {
    ++*destroyed;
    node.Unlink();
  }
};

struct Built {
  Member first;
  Member second;
  explicit Built(int* counter, bool fail) : first(counter), second(counter) {
    if (fail) ThrowRuntime(kMalformed);
  }
};

TEST(ErrorTrapTest, TransientBlockCommitLeavesChainAsBeforeAndThrowFreesBlock) {
  LibraryContext context;
  int destroyed = 0;
  CleanupNode* before = CurrentThreadState().cleanupHead;
  Built* object = NewObject<Built>(&context, &destroyed, false);
  EXPECT_EQ(CurrentThreadState().cleanupHead, before);
  EXPECT_EQ(CurrentThreadState().recordCount, 0u);
  EXPECT_GT(context.memory.bytesInUse, 0u);
  DestroyAndFree(&context, object);
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(context.memory.bytesInUse, 0u);

  ErrorTrap trap(&context);
  ASSERT_FALSE(trap.Run([&] { NewObject<Built>(&context, &destroyed, true); }));
  trap.SetHandled();
  trap.Close();
  EXPECT_EQ(context.memory.bytesInUse, 0u);
  EXPECT_EQ(CurrentThreadState().recordCount, 0u);
  EXPECT_EQ(CurrentThreadState().cleanupHead, before);
}

TEST(ErrorTrapTest, ThirteenthTransientPushThrowsInsteadOfOverrunning) {
  LibraryContext context;
  ErrorTrap trap(&context);
  ASSERT_FALSE(trap.Run([&] {
    for (int i = 0; i < 13; ++i) TransientBlocks::Push(&context, AllocOrThrow(&context, 8));
  }));
  trap.SetHandled();
  EXPECT_TRUE(trap.Held().IsRuntime(kBeyondLimit));
  trap.Close();
  // The unwinding freed all twelve protected blocks and the thirteenth.
  EXPECT_EQ(CurrentThreadState().recordCount, 0u);
  EXPECT_EQ(context.memory.bytesInUse, 0u);
}

TEST(ErrorTrapTest, AHandlerLeavingEarlyNeverLosesAnErrorItDidNotTake) {
  // A handler that leaves its trap's scope by `continue` without closing:
  // an error it did not take goes on as Close would send it, and a
  // cancellation goes on even when taken.
  struct Case {
    const char* name;
    uint32_t code;
    bool take;
    uint32_t outerSees;  // 99: the outer body finished
  } cases[] = {
      {"not taken", kMalformed, false, kMalformed},
      {"cancellation not taken", kCancelled, false, kCancelled},
      {"cancellation taken", kCancelled, true, kCancelled},
      {"taken", kMalformed, true, 99},
  };
  for (const Case& c : cases) {
    std::vector<std::string> log;
    int rounds = 0;
    ErrorTrap outer;
    uint32_t seen = 99;
    if (!outer.Run([&] {
          LoggedNode kept(&log, "outer-node");
          for (int i = 0; i < 3; ++i) {
            ++rounds;
            ErrorTrap inner;
            if (!inner.Run([&] { ThrowRuntime(c.code); })) {
              if (c.take) inner.SetHandled();
              continue;
            }
          }
        })) {
      outer.SetHandled();
      seen = outer.Held().code;
      outer.Close();
    }
    EXPECT_EQ(seen, c.outerSees) << c.name;
    EXPECT_EQ(rounds, c.outerSees == 99 ? 3 : 1) << c.name;
    EXPECT_EQ(log, c.outerSees == 99 ? std::vector<std::string>{}
                                     : std::vector<std::string>{"outer-node"})
        << c.name;
  }
}

TEST(ErrorTrapTest, StandardExceptionsAreTakenAsOutOfMemoryAfterTheCleanups) {
  std::vector<std::string> log;
  // A node left on the chain by the body (as a heap holder would be) runs
  // when the exception reaches the trap, like a thrown error's cleanups.
  auto* stray = new LoggedNode(&log, "stray");
  stray->node.Unlink();
  ErrorTrap outer;
  ErrorTrap trap;
  ASSERT_FALSE(trap.Run([&] {
    stray->node.Register(nullptr, &LoggedNode::Cleanup);
    LoggedNode local(&log, "local");
    // What a container throws for a size it cannot hold.
    throw std::length_error("vector::reserve");
  }));
  ASSERT_TRUE(trap.HoldsRecord());
  EXPECT_TRUE(trap.Held().IsRuntime(kOutOfMemory));
  EXPECT_EQ(log, (std::vector<std::string>{"stray"}));
  trap.SetHandled();
  trap.Close();
  EXPECT_TRUE(outer.Run([] {}));
  // std::bad_alloc itself reaches the innermost trap; left unclosed there,
  // it goes on to the next.
  ErrorTrap again;
  ASSERT_FALSE(again.Run([] {
    ErrorTrap nested;
    EXPECT_FALSE(nested.Run([] { throw std::bad_alloc(); }));
    EXPECT_TRUE(nested.Held().IsRuntime(kOutOfMemory));
  }));
  again.SetHandled();
  EXPECT_TRUE(again.Held().IsRuntime(kOutOfMemory));
  again.Close();
  delete stray;
}

TEST(ErrorTrapTest, ThrowWithNoTrapExitsWithStatus255) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // No trap is open in the child's main thread state.
    SetCurrentThreadState(nullptr);
    ThrowRuntime(kMalformed);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 255);
}

}  // namespace
}  // namespace runtime
