// Random interleavings of yields, waits, sets, locks, errors, starts and
// kills, checked against the invariants every caller relies on: rings stay
// consistent, each run's registered objects are released exactly once,
// semaphore units and pool stacks all come back.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>

#include "runtime/Event.h"
#include "runtime/Semaphore.h"
#include "tests/runtime/ThreadFixture.h"

namespace runtime {
namespace {

constexpr int kThreads = 6;
constexpr int kEvents = 3;
constexpr int kSemaphoreUnits = 2;

// How often a run's holder was made and released.
struct HolderCount {
  int made = 0;
  int released = 0;
};

// Counts its release, whether by the cleanup chain or by the destructor.
struct CountedHolder {
  CleanupNode node;
  HolderCount* count;

  explicit CountedHolder(LibraryContext* context, HolderCount* counter) : count(counter) {
    ++count->made;
    node.Register(context, &CountedHolder::Cleanup);
  }
  ~CountedHolder() {
    if (node.IsLinked()) ++count->released;
    node.Unlink();
  }
  static void Cleanup(CleanupNode* raw) {
    ++reinterpret_cast<CountedHolder*>(raw)->count->released;
    raw->Unlink();
  }
};

class SchedulerStressTest : public ThreadFixture {
 protected:
  void CheckRings() {
    // The run ring: main is in it, and every member names it as its ring.
    int runnable = 0;
    bool sawMain = false;
    ThreadState* thread = scheduler.current;
    do {
      ASSERT_EQ(thread->ringHead, &scheduler.current);
      ASSERT_EQ(thread->next->prev, thread);
      sawMain = sawMain || thread == &scheduler.mainThread;
      if (thread != &scheduler.mainThread) ++runnable;
      thread = thread->next;
    } while (thread != scheduler.current);
    ASSERT_TRUE(sawMain);
    int waiting = 0;
    for (Event& event : events) {
      ThreadState* first = event.waiters;
      if (first == nullptr) continue;
      ThreadState* t = first;
      do {
        ASSERT_EQ(t->ringHead, &event.waiters);
        ++waiting;
        t = t->next;
      } while (t != first);
    }
    if (semaphore.waiters != nullptr) {
      ThreadState* t = semaphore.waiters;
      do {
        ++waiting;
        t = t->next;
      } while (t != semaphore.waiters);
    }
    int live = 0;
    for (auto& handle : slots) live += (handle && handle->Get()->live) ? 1 : 0;
    ASSERT_EQ(live, runnable + waiting);
  }

  std::array<Event, kEvents> events{Event(&context), Event(&context), Event(&context)};
  Semaphore semaphore{&context, kSemaphoreUnits};
  std::array<std::unique_ptr<ThreadHandle>, kThreads> slots;
  std::vector<std::unique_ptr<HolderCount>> releaseCounts;
};

TEST_F(SchedulerStressTest, RandomInterleavingsKeepEveryInvariant) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    auto body = [this](uint32_t threadSeed, HolderCount* releases) {
      return [this, threadSeed, releases](LibraryContext* ctx) {
        std::mt19937 steps(threadSeed);
        CountedHolder holder(ctx, releases);
        for (int step = 0; step < 40; ++step) {
          switch (steps() % 7) {
            case 0:
            case 1:
              YieldThread(ctx);
              break;
            case 2:
              events[steps() % kEvents].Wait();
              break;
            case 3:
              events[steps() % kEvents].Set();
              break;
            case 4: {
              SemaphoreLock lock(ctx, &semaphore);
              YieldThread(ctx);
              break;
            }
            case 5:
              if (steps() % 8 == 0) ThrowRuntime(kMalformed);
              break;
            default:
              if (steps() % 8 == 0) return;
              break;
          }
        }
      };
    };

    for (int round = 0; round < 150; ++round) {
      const int slot = static_cast<int>(random() % kThreads);
      switch (random() % 5) {
        case 0:  // start (replacing an ended thread)
          if (!slots[slot] || !slots[slot]->Get()->live) {
            releaseCounts.push_back(std::make_unique<HolderCount>());
            auto* thread = NewObject<ClosureThread>(&context, &context,
                                                    body(random(), releaseCounts.back().get()));
            if (!slots[slot]) slots[slot] = std::make_unique<ThreadHandle>(&context);
            slots[slot]->Reset(thread);
            scheduler.StartThread(thread);
          }
          break;
        case 1:  // kill
          if (slots[slot] && slots[slot]->Get()->live) scheduler.Kill(slots[slot]->Get());
          break;
        case 2:
          events[random() % kEvents].Set();
          break;
        default: {  // a few passes
          int passes = static_cast<int>(random() % 3) + 1;
          scheduler.RunUntil([&] { return passes-- == 0; });
          break;
        }
      }
      CheckRings();
      if (HasFatalFailure()) return;
    }
    for (auto& handle : slots) handle.reset();
    // A thread killed before its first turn never made its holder.
    int made = 0;
    for (const auto& count : releaseCounts) {
      EXPECT_EQ(count->released, count->made);
      made += count->made;
    }
    EXPECT_GT(made, 0);
    releaseCounts.clear();
    EXPECT_EQ(semaphore.count, kSemaphoreUnits);
    EXPECT_EQ(semaphore.waiters, nullptr);
    EXPECT_EQ(scheduler.stackPool.FreeSlots(), kStackSlots);
    EXPECT_TRUE(scheduler.current->IsAlone());
    for (Event& event : events) {
      EXPECT_EQ(event.waiters, nullptr);
      event.Reset();
    }
  }
}

}  // namespace
}  // namespace runtime
