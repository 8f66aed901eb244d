#include "runtime/ScopeGuards.h"

#include <gtest/gtest.h>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/ThreadState.h"

namespace runtime {
namespace {

// Runs `body`, which throws when `fail` is set, in a trap.
template <class Body>
void RunMaybeFailing(Body&& body) {
  ErrorTrap trap;
  if (!trap.Run(body)) {
    trap.SetHandled();
    trap.Close();
  }
}

TEST(ScopeGuardsTest, GuardsPutStateBackHoweverTheScopeEnds) {
  for (bool fail : {false, true}) {
    int32_t depth = 3;
    uint8_t flag = 1;
    bool flipped = true;
    uint32_t abandoned = 0;
    int marker = 0;
    int* current = nullptr;
    RunMaybeFailing([&] {
      RestoreGuard<int32_t> depthGuard(nullptr, &depth);
      RestoreGuard<uint8_t> flagGuard(nullptr, &flag);
      RestoreGuard<bool, true> flipGuard(nullptr, &flipped);
      UnwindCounter counter(nullptr, &abandoned);
      current = &marker;
      ClearOnUnwind<int> clear(nullptr, &current);
      depth = 99;
      flag = 0;
      if (fail) ThrowRuntime(kMalformed);
    });
    EXPECT_EQ(depth, 3) << fail;
    EXPECT_EQ(flag, 1) << fail;
    EXPECT_FALSE(flipped) << fail;  // the saved value's negation
    EXPECT_EQ(abandoned, fail ? 1u : 0u);
    EXPECT_EQ(current, fail ? nullptr : &marker);
    EXPECT_EQ(CurrentThreadState().cleanupHead, nullptr) << fail;
  }
}

TEST(ScopeGuardsTest, UnlinkOnlyLeavesTheChain) {
  CleanupNode node;
  node.Register(nullptr, &UnlinkOnly);
  ASSERT_TRUE(node.IsLinked());
  RunCleanupsDownTo(nullptr);
  EXPECT_FALSE(node.IsLinked());
}

}  // namespace
}  // namespace runtime
