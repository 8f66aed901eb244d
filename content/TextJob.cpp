#include "content/TextJob.h"

#include "content/TextExtractState.h"
#include "content/TextForwardingHandler.h"
#include "content/TextPage.h"
#include "runtime/CoThread.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"

namespace content {

uint32_t TextJobClient::ClassifyWideGap() { return kWideGap; }

// The cooperative thread that plays the job's page.
class TextJobThread final : public runtime::CoThread {
 public:
  TextJobThread(runtime::LibraryContext* context, TextJob& job)
      : CoThread(context, runtime::kJobArenaBlockBytes, runtime::kJobArenaThreshold, runtime::kJobStackBytes),
        job_(job) {}
  void Run(runtime::LibraryContext*) override { job_.RunPage(); }

 private:
  TextJob& job_;
};

TextJob::TextJob(runtime::LibraryContext* owner, pdf::Document& document, int32_t pageIndex, FontSource* fonts,
                 TextFontSource* textFonts, TextJobClient& client, uint32_t option)
    : owner_(owner),
      document_(document),
      pageIndex_(pageIndex),
      fonts_(fonts),
      textFonts_(textFonts),
      client_(client),
      option_(option),
      paused_(owner),
      resume_(owner),
      thread_(owner) {}

bool TextJob::IsRunning() const { return thread_.Get() != nullptr && !ended_; }

void TextJob::RunPage() {
  runtime::ErrorTrap trap(owner_);
  if (!trap.Run([&] {
        client_.ClearResults();
        TextPage page = TextPage::Load(owner_, document_, pageIndex_, fonts_, textFonts_);
        TextForwardingHandler handler(page, pageIndex_, *this);
        page.Play(handler);
      })) {
    trap.SetHandled();
    // A killed job ends quietly: nobody waits for it any more.
    if (trap.HoldsRecord() && trap.Held().IsRuntime(runtime::kCancelled)) trap.Rethrow();
    client_.ClearResults();
    hasError_ = true;
    error_ = trap.HoldsRecord() ? trap.Held() : runtime::ErrorRecord{runtime::kRuntimeDomain, runtime::kOverflow, 0};
    trap.Close();
  }
  ended_ = true;
  paused_.Set();
}

void TextJob::PauseAtRangeEnd(const runtime::TextPosition& position) {
  stored_ = position;
  if (const runtime::TextRange* range = client_.Range()) client_.RangeReached(*range);
  paused_.Set();
  resume_.Wait();
}

void TextJob::Continue() {
  runtime::TextPosition next;
  next.page = stored_.page;
  next.operation = stored_.operation + 1;
  const runtime::TextRange* range = client_.Range();
  // The paused thread can go on only for a range that begins where the
  // play stands: one that starts earlier needs the page played again.
  const bool resumable = IsRunning() && range != nullptr && !runtime::TextPosition::Greater(next, range->end) &&
                         !runtime::TextPosition::Less(range->start, next);
  paused_.Reset();
  if (resumable) {
    resume_.Set();
  } else {
    ended_ = false;
    hasError_ = false;
    stored_ = runtime::TextPosition{};
    thread_.Reset(runtime::NewObject<TextJobThread>(owner_, owner_, *this));
    resume_.Reset();
    owner_->scheduler->StartThread(thread_.Get());
  }
  paused_.Wait();
  if (hasError_) {
    hasError_ = false;
    const runtime::ErrorRecord error = error_;
    thread_.Destroy();
    runtime::ThrowError(owner_, error);
  }
}

}  // namespace content
