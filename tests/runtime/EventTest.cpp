#include "runtime/Event.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/runtime/ThreadFixture.h"

namespace runtime {
namespace {

using EventTest = ThreadFixture;

TEST_F(EventTest, AutoResetSetWithNoWaiterIsConsumedByTheNextWaitWithoutBlocking) {
  Event event(&context);
  std::string log;
  Start([&](LibraryContext*) {
    event.Set();
    EXPECT_TRUE(event.signalled);  // nobody waited: it stays set
    event.Wait();
    log += "consumed;";  // same turn: the main thread has not run
    EXPECT_FALSE(event.signalled);
    event.Wait();  // now it blocks
    log += "woken;";
  });
  scheduler.RunUntil([] { return false; });
  EXPECT_EQ(log, "consumed;");
  event.Set();
  EXPECT_FALSE(event.signalled);  // handed to the waiter
  scheduler.RunUntil([] { return false; });
  EXPECT_EQ(log, "consumed;woken;");
}

TEST_F(EventTest, SetWakesOneOrEveryWaiterBeforeTheSetter) {
  struct Case {
    const char* name;
    bool manualReset;
    const char* woken;
    bool staysSet;
  };
  const Case cases[] = {
      {"auto-reset wakes the first waiter", false, "a", false},
      {"manual-reset wakes every waiter", true, "ab", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Event event(&context, c.manualReset);
    std::string woken;
    ClosureThread* first = Start([&](LibraryContext*) {
      event.Wait();
      woken += 'a';
    });
    ClosureThread* second = Start([&](LibraryContext*) {
      event.Wait();
      woken += 'b';
    });
    ThreadState* beforeSetter = nullptr;
    Start([&](LibraryContext*) {
      event.Set();
      beforeSetter = scheduler.current->prev;
    });
    scheduler.RunUntil([] { return false; });
    // Waiters are woken longest-waiting first, each placed just before the
    // running thread in ring order.
    EXPECT_EQ(beforeSetter, c.manualReset ? second : first);
    EXPECT_EQ(woken, c.woken);
    EXPECT_EQ(event.signalled, c.staysSet);
    handles.clear();  // kills a waiter left behind
    EXPECT_EQ(event.waiters, nullptr);
  }
}

TEST_F(EventTest, MainThreadCannotBlockButTakesASetEvent) {
  Event event(&context);
  EXPECT_TRUE(Caught([&] { event.Wait(); }).IsRuntime(kMalformed));
  event.Set();
  EXPECT_FALSE(Caught([&] { event.Wait(); }).IsRuntime(kMalformed));
  EXPECT_FALSE(event.signalled);

  Event manual(&context, true, true);
  manual.Wait();
  EXPECT_TRUE(manual.signalled);
  manual.Reset();
  EXPECT_FALSE(manual.signalled);
}

TEST_F(EventTest, DestroyedEventLeavesItsWaiterToBeKilled) {
  std::string cleanups;
  ClosureThread* waiter = nullptr;
  {
    Event event(&context);
    waiter = Start([&](LibraryContext*) {
      LoggedCleanup held(&cleanups, 'w');
      event.Wait();
    });
    scheduler.RunUntil([] { return false; });
    EXPECT_EQ(event.waiters, waiter);
  }
  EXPECT_EQ(waiter->ringHead, nullptr);
  EXPECT_TRUE(waiter->live);
  handles.clear();
  EXPECT_EQ(cleanups, "w");
}

}  // namespace
}  // namespace runtime
