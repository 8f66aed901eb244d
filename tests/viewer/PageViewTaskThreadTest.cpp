// The page view's thread: tasks in posting order, a failed task dropped,
// a cancellation ending the thread, and the updates left for it applied
// in their order before the next task.
#include "viewer/PageViewTaskThread.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Clock.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"
#include "viewer/PageView.h"
#include "viewer/PageViewBusy.h"
#include "viewer/PenTarget.h"

namespace viewer {
namespace {

class TaskThreadTest : public ::testing::Test {
 protected:
  TaskThreadTest() {
    platform::UseVirtualClock(true);
    context.threadingEnabled = true;
  }
  ~TaskThreadTest() override { platform::UseVirtualClock(false); }

  template <class Body>
  ViewTask* MakeTask(Body body, ViewTaskOutcome* outcome = nullptr) {
    return runtime::NewObject<ClosureViewTask<Body>>(&context, body, outcome);
  }
  void RunUntilIdle(PageViewTaskThread& thread) {
    scheduler.RunUntil([&] { return !thread.HasPendingWork(); });
  }

  runtime::LibraryContext context;
  runtime::Scheduler scheduler{&context};
};

// Logs each pass of the deferred updates.
class PassLog : public PageViewDeferredWork {
 public:
  explicit PassLog(std::string* log) : log_(log) {}
  void RunDeferredUpdates() override { *log_ += 'u'; }

 private:
  std::string* log_;
};

TEST_F(TaskThreadTest, TasksRunInOrderAndAFailureEndsOnlyItsTask) {
  std::string log;
  PassLog work(&log);
  PageViewTaskThread thread(&context, work);
  ASSERT_TRUE(thread.Start());
  EXPECT_EQ(log, "");  // waiting: nothing has woken it
  ViewTaskOutcome failed;
  thread.Post(MakeTask([&] { log += 'a'; }));
  thread.Post(MakeTask(
      [&] {
        log += 'b';
        runtime::ThrowMalformed();
      },
      &failed));
  thread.Post(MakeTask([&] { log += 'c'; }));
  EXPECT_EQ(log, "");  // posted, not run
  EXPECT_TRUE(thread.HasPendingWork());
  RunUntilIdle(thread);
  // One pass of the updates, then the three tasks; the failed one told its
  // waiter why and the one after it still ran.
  EXPECT_EQ(log, "uabc");
  EXPECT_TRUE(failed.finished && failed.ran && failed.failed);
  EXPECT_TRUE(failed.error.IsRuntime(runtime::kMalformed));
  EXPECT_TRUE(thread.Alive());

  // A wake-up alone runs one pass of the updates and no task.
  thread.Wake();
  EXPECT_TRUE(thread.WakeRequested());
  RunUntilIdle(thread);
  EXPECT_EQ(log, "uabcu");
  EXPECT_FALSE(thread.WakeRequested());
}

TEST_F(TaskThreadTest, ACancellationEndsTheThreadAndLaterTasksGoUnrun) {
  std::string log;
  PassLog work(&log);
  PageViewTaskThread thread(&context, work);
  ASSERT_TRUE(thread.Start());
  ViewTaskOutcome cancelled, queued, late;
  thread.Post(MakeTask(
      [&] {
        log += 'x';
        runtime::ThrowRuntime(runtime::kCancelled);
      },
      &cancelled));
  thread.Post(MakeTask([&] { log += 'y'; }, &queued));
  RunUntilIdle(thread);
  EXPECT_EQ(log, "ux");
  EXPECT_FALSE(thread.Alive());
  EXPECT_FALSE(thread.HasPendingWork());
  EXPECT_TRUE(cancelled.finished && cancelled.failed);
  EXPECT_TRUE(cancelled.error.IsRuntime(runtime::kCancelled));
  // The task queued behind it waits for nobody; a task posted now is let
  // go at once. Neither runs.
  thread.Post(MakeTask([&] { log += 'z'; }, &late));
  EXPECT_TRUE(late.finished);
  EXPECT_FALSE(late.ran || queued.ran);
  EXPECT_EQ(log, "ux");
}

TEST_F(TaskThreadTest, EndingTheThreadFreesWhatItNeverRanAndUnwindsTheRunningTask) {
  std::string log;
  PassLog work(&log);
  ViewTaskOutcome running, waiting, withdrawn;
  runtime::Event never(&context);
  {
    PageViewTaskThread thread(&context, work);
    ASSERT_TRUE(thread.Start());
    thread.Post(MakeTask(
        [&] {
          log += 'r';
          never.Wait();
          log += '!';
        },
        &running));
    ViewTask* taken = MakeTask([&] { log += 'w'; }, &withdrawn);
    thread.Post(MakeTask([&] { log += 'q'; }, &waiting));
    thread.Post(taken);
    scheduler.RunUntil([] { return false; });  // until nothing can run
    EXPECT_EQ(thread.Running() != nullptr, true);
    ASSERT_TRUE(thread.Withdraw(taken));
    EXPECT_FALSE(thread.Withdraw(taken));
    runtime::DestroyAndFree(&context, taken);
  }
  EXPECT_EQ(log, "ur");
  EXPECT_TRUE(running.finished && running.ran && running.failed);
  EXPECT_TRUE(waiting.finished && !waiting.ran);
  EXPECT_TRUE(withdrawn.finished && !withdrawn.ran);
}

// What the page view's deferred updates did, in order.
class MoveLog : public PenTarget {
 public:
  MoveLog(std::string* log, PageView** view, PageViewBusy* busy) : log_(log), view_(view), busy_(busy) {}
  void PenDown(int64_t, int64_t) override {}
  void PenMoveTo(int64_t x, int64_t y) override {
    *log_ += "move " + std::to_string(x) + "," + std::to_string(y) + " at width " +
             std::to_string((*view_)->Layout().window.x1 - (*view_)->Layout().window.x0) + " busy " +
             std::to_string(busy_->Value()) + "; ";
  }
  void PenUpAt(int64_t, int64_t) override {}
  void PenCaptureLost() override {}

 private:
  std::string* log_;
  PageView** view_;
  PageViewBusy* busy_;
};

class RequestLog : public RenderScheduling {
 public:
  RequestLog(std::string* log, PageViewBusy* busy) : log_(log), busy_(busy) {}
  void UpdateRenderRequests(const PageLayout& layout) override {
    *log_ += "requests at width " + std::to_string(layout.window.x1 - layout.window.x0) + " busy " +
             std::to_string(busy_->Value()) + "; ";
  }
  void InvalidateAll() override {}

 private:
  std::string* log_;
  PageViewBusy* busy_;
};

class LetterPages : public PageSizeSource {
 public:
  int32_t PageCount() const override { return 3; }
  pdf::PageInfo Page(int32_t) override {
    pdf::PageInfo info;
    info.estimated = 0;
    info.box = {0, 0, 612 << 16, 792 << 16};
    return info;
  }
  runtime::Fixed LargestWidth() const override { return 612 << 16; }
  runtime::Fixed LargestHeight() const override { return 792 << 16; }
  void SetViewRotation(int32_t) override {}
};

TEST_F(TaskThreadTest, UpdatesLeftTogetherApplyMoveThenSizeThenBusyAndOneRequestUpdate) {
  std::string log;
  PageViewBusy busy(nullptr);
  RequestLog render(&log, &busy);
  LetterPages pages;
  MarginPoint window;
  window.width = 240;
  window.height = 320;
  PageView* viewPointer = nullptr;
  MoveLog pen(&log, &viewPointer, &busy);
  PageView view(&context, pages, &render, window, 96);
  viewPointer = &view;
  view.SetBusyState(&busy);
  view.RefreshLayout();
  log.clear();
  view.StartTaskThread();
  ASSERT_NE(view.TaskThread(), nullptr);

  // Left for the thread in another order than it applies them; a second
  // move replaces the first.
  view.RequestViewSize(320, 240);
  view.SetTaskState(true, 2);
  view.RequestPenMove(&pen, 1, 1);
  view.RequestPenMove(&pen, 5, 7);
  EXPECT_EQ(log, "");
  EXPECT_EQ(busy.Value(), 0u);
  EXPECT_TRUE(view.HasPendingWork());
  scheduler.RunUntil([&] { return !view.HasPendingWork(); });
  EXPECT_EQ(log, "move 5,7 at width 240 busy 0; requests at width 320 busy 2; ");
  EXPECT_EQ(busy.Value(), 2u);

  // A busy value set now (not deferred) drops one still waiting.
  view.SetTaskState(true, 0);
  view.SetTaskState(false, 3);
  scheduler.RunUntil([&] { return !view.HasPendingWork(); });
  EXPECT_EQ(busy.Value(), 3u);

  // Without its thread the page view applies a size at once.
  view.StopTaskThread();
  log.clear();
  view.RequestViewSize(200, 200);
  view.RefreshLayout();
  EXPECT_EQ(log, "requests at width 200 busy 3; ");
}

}  // namespace
}  // namespace viewer
