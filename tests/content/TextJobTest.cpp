// The text job: a page played on a thread of its own, paused at the end of
// the client's range and resumed for a range that goes on from there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/TextJob.h"
#include "runtime/CoThread.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "runtime/Scheduler.h"
#include "runtime/ThreadHandle.h"
#include "tests/content/TextTestSupport.h"

namespace {

// Operations: BT 1, Tf 2, Td 3, then one show each: (a) 4, (b) 5, (c) 6,
// [(d) (e) (f)] 7, (g) 8, (h) 9, (i) 10; ET 11.
const char kShows[] = "BT /F1 10 Tf 72 700 Td (a) Tj (b) Tj (c) Tj [(d) -100 (e) (f)] TJ (g) Tj (h) Tj (i) Tj ET";

class RecordingClient final : public content::TextJobClient {
 public:
  const runtime::TextRange* Range() const override { return &range; }
  void ClearResults() override {
    ++clears;
    text.clear();
  }
  void RangeReached(const runtime::TextRange&) override { ++pauses; }
  void OnChar(const runtime::TextPosition& position, uint32_t code, bool, bool) override {
    text += static_cast<char>(code);
    text += std::to_string(position.operation) + "." + std::to_string(position.string) + " ";
  }

  runtime::TextRange range;
  std::string text;
  int clears = 0;
  int pauses = 0;
};

runtime::TextRange Range(uint32_t startOperation, uint32_t startString, uint32_t endOperation) {
  runtime::TextRange range;
  range.start.operation = startOperation;
  range.start.string = startString;
  range.end.operation = endOperation;
  range.end.string = 0xFFFFFFFF;
  return range;
}

// Asks the job for each range in turn, on a cooperative thread (the asker
// waits), noting the client's text after each.
class Asker final : public runtime::CoThread {
 public:
  Asker(runtime::LibraryContext* context, content::TextJob& job, RecordingClient& client,
        std::vector<runtime::TextRange> ranges)
      : CoThread(context, runtime::kJobArenaBlockBytes, runtime::kJobArenaThreshold, runtime::kJobStackBytes),
        context_(context),
        job_(job),
        client_(client),
        ranges_(std::move(ranges)) {}
  void Run(runtime::LibraryContext*) override {
    for (const runtime::TextRange& range : ranges_) {
      client_.range = range;
      runtime::ErrorTrap trap(context_);
      if (!trap.Run([&] { job_.Continue(); })) {
        trap.SetHandled();
        error = trap.Held().code;
        trap.Close();
        return;
      }
      texts.push_back(client_.text);
      clears.push_back(client_.clears);
    }
    done = true;
  }

  std::vector<std::string> texts;
  std::vector<int> clears;
  bool done = false;
  int error = -1;

 private:
  runtime::LibraryContext* context_;
  content::TextJob& job_;
  RecordingClient& client_;
  std::vector<runtime::TextRange> ranges_;
};

class TextJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.memory.SetBudget(runtime::kNoLimit);
    runtime::SetDefaultContext(&context_);
    context_.threadingEnabled = true;
  }
  void TearDown() override {
    context_.threadingEnabled = false;
    runtime::SetDefaultContext(nullptr);
  }

  // Runs the asker over `ranges` until it is done.
  Asker& Ask(content::TextJob& job, std::vector<runtime::TextRange> ranges) {
    asker_ = runtime::NewObject<Asker>(&context_, &context_, job, client_, std::move(ranges));
    handle_.Reset(asker_);
    scheduler_.StartThread(asker_);
    scheduler_.RunUntil([&] { return asker_->done || asker_->IsIdle(); });
    return *asker_;
  }

  runtime::LibraryContext context_;
  runtime::Scheduler scheduler_{&context_};
  texttest::StubTextFonts fonts_;
  RecordingClient client_;
  Asker* asker_ = nullptr;
  runtime::ThreadHandle handle_{&context_};
};

TEST_F(TextJobTest, ARangeIsShownFromItsStringAndPausesAfterItsEnd) {
  texttest::TextDocument document(&context_, {kShows});
  content::TextJob job(&context_, document.Document(), 0, &fonts_, &fonts_, client_);
  const Asker& asker = Ask(job, {Range(7, 2, 9), Range(10, 0, 10), Range(5, 0, 5)});
  ASSERT_TRUE(asker.done);
  // From the TJ's third string to the end of operation 9; nothing before.
  EXPECT_EQ(asker.texts[0], "f7.2 g8.0 h9.0 ");
  // A range that goes on from the pause resumes the same play: the page
  // was not started again.
  EXPECT_EQ(asker.texts[1], "f7.2 g8.0 h9.0 i10.0 ");
  EXPECT_EQ(asker.clears[1], 1);
  // A range before the pause starts the page again (it was resumed before).
  EXPECT_EQ(asker.texts[2], "b5.0 ");
  EXPECT_EQ(asker.clears[2], 2);
  EXPECT_EQ(client_.pauses, 3);
  EXPECT_EQ(job.StoredPosition().operation, 5u);
}

TEST_F(TextJobTest, ARangeThatStartsInsideThePausedOperationStartsAgain) {
  texttest::TextDocument document(&context_, {kShows});
  content::TextJob job(&context_, document.Document(), 0, &fonts_, &fonts_, client_);
  // The job pauses after operation 7; the next range starts at the TJ's
  // second string, which the paused play has passed.
  const Asker& asker = Ask(job, {Range(7, 0, 7), Range(7, 1, 8)});
  ASSERT_TRUE(asker.done);
  EXPECT_EQ(asker.texts[0], "d7.0 e7.1 f7.2 ");
  EXPECT_EQ(asker.texts[1], "e7.1 f7.2 g8.0 ");
  EXPECT_EQ(asker.clears[1], 2);
}

TEST_F(TextJobTest, AnErrorOfThePageReachesTheAsker) {
  // A show without a font: (runtime, 2) from the job, raised in the asker.
  texttest::TextDocument document(&context_, {"BT (a) Tj ET"});
  content::TextJob job(&context_, document.Document(), 0, &fonts_, &fonts_, client_);
  Ask(job, {Range(0, 0, 99)});
  EXPECT_EQ(asker_->error, static_cast<int>(runtime::kMalformed));
  EXPECT_FALSE(job.IsRunning());
}

}  // namespace
